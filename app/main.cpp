// kelvophotos: the command-line host of the photo store. Picks the command, starts the
// toolkit it needs, and turns failures into a one-line message and an exit status.
#include <cstdio>
#include <map>

#include "commands.h"
#include "toolkit.h"

namespace {

using kelvo::cli::CliOptions;
using Command = int (*)(const CliOptions&);

const std::map<std::string, Command>& commands() {
    using namespace kelvo::cli;
    static const std::map<std::string, Command> table = {
        {"create-table", CreateTableCommand},
        {"add", AddCommand},
        {"list", ListCommand},
        {"export", ExportCommand},
        {"search", SearchCommand},
        {"set-default", SetDefaultCommand},
        {"delete", DeleteCommand},
        {"delete-owner", DeleteOwnerCommand},
        {"convert-to-files", ConvertToFilesCommand},
        {"convert-to-blobs", ConvertToBlobsCommand},
        {"extract", ExtractCommand},
        {"edit", EditCommand},
        {"demo", DemoCommand},
    };
    return table;
}

constexpr int kNoDisplay = 3;

bool needsWindow(const CliOptions& options) {
    return options.command == "edit" || (options.command == "demo" && !options.noWindow);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kelvo::cli;
    try {
        CliOptions options = ParseArguments(std::vector<std::string>(argv + 1, argv + argc));
        if (options.help || options.command.empty()) {
            std::fputs(UsageText().c_str(), options.help ? stdout : stderr);
            return options.help ? 0 : 2;
        }
        auto command = commands().find(options.command);
        if (command == commands().end())
            throw UsageError("unknown command '" + options.command + "' (see --help)");
        if (needsWindow(options) && !HasDisplay()) {
            std::fprintf(stderr,
                         "kelvophotos: %s needs a display to open the editor window; none is set "
                         "(DISPLAY, WAYLAND_DISPLAY, QT_QPA_PLATFORM). Run it under a virtual "
                         "display, e.g. xvfb-run ./kelvophotos.sh run, or use demo --no-window\n",
                         Shown(options.command).c_str());
            return kNoDisplay;
        }
        auto toolkit = StartToolkit(argc, argv, needsWindow(options));
        return command->second(options);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "kelvophotos: %s\n", Shown(e.what()).c_str());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kelvophotos: %s\n", Shown(e.what()).c_str());
        return 1;
    }
}
