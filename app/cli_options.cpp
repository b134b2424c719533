// Parsing of the kelvophotos command line.
#include "cli_options.h"

#include <cstdlib>
#include <functional>
#include <map>

namespace kelvo::cli {
namespace {

double parseNumber(const std::string& option, const std::string& text) {
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || value < 0)
        throw UsageError(option + " needs a number of 0 or more, not '" + text + "'");
    return value;
}

using ValueSetter = std::function<void(CliOptions&, const std::string&)>;

const std::map<std::string, ValueSetter>& valueOptions() {
    static const std::map<std::string, ValueSetter> options = {
        {"--db", [](CliOptions& o, const std::string& v) { o.db = v; }},
        {"--table", [](CliOptions& o, const std::string& v) { o.layout.table = v; }},
        {"--id-col", [](CliOptions& o, const std::string& v) { o.layout.idCol = v; }},
        {"--desc-col", [](CliOptions& o, const std::string& v) { o.layout.descCol = v; }},
        {"--group-col", [](CliOptions& o, const std::string& v) { o.layout.groupCol = v; }},
        {"--comments-col", [](CliOptions& o, const std::string& v) { o.layout.commentsCol = v; }},
        {"--default-col", [](CliOptions& o, const std::string& v) { o.layout.defaultCol = v; }},
        {"--photo-col", [](CliOptions& o, const std::string& v) { o.layout.photoCol = v; }},
        {"--files", [](CliOptions& o, const std::string& v) { o.filesFolder = v; }},
        {"--max-kb",
         [](CliOptions& o, const std::string& v) { o.maxKb = parseNumber("--max-kb", v); }},
        {"--app-path", [](CliOptions& o, const std::string& v) { o.appPath = v; }},
        {"--desc", [](CliOptions& o, const std::string& v) { o.description = v; }},
        {"--comments", [](CliOptions& o, const std::string& v) { o.comments = v; }},
        {"--owner-name", [](CliOptions& o, const std::string& v) { o.ownerName = v; }},
    };
    return options;
}

}  // namespace

CliOptions ParseArguments(const std::vector<std::string>& args) {
    CliOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--default") {
            options.makeDefault = true;
        } else if (arg == "--no-window") {
            options.noWindow = true;
        } else if (arg.size() > 2 && arg.compare(0, 2, "--") == 0) {
            std::string name = arg, value;
            bool inlineValue = false;
            if (std::size_t eq = arg.find('='); eq != std::string::npos) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
                inlineValue = true;
            }
            auto setter = valueOptions().find(name);
            if (setter == valueOptions().end()) throw UsageError("unknown option " + name);
            if (!inlineValue) {
                if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
                value = args[++i];
            }
            setter->second(options, value);
        } else if (options.command.empty()) {
            options.command = arg;
        } else {
            options.operands.push_back(arg);
        }
    }
    return options;
}

void RequireOperands(const CliOptions& options, std::size_t count, const char* synopsis) {
    if (options.operands.size() != count)
        throw UsageError(std::string("usage: kelvophotos ") + synopsis);
}

std::string UsageText() {
    return R"(usage: kelvophotos COMMAND [OPERANDS] [OPTIONS]

Commands:
  create-table                          create the photo table (and an index on the owner column)
  add OWNER GROUP FILE [--desc D] [--comments C] [--default]
                                        add a picture file as a photo of an owner
  list OWNER GROUP                      list an owner's photos: position, description, default, size
  export OWNER GROUP OUTFILE [--desc D] write the default (or described) photo to a bitmap file
  search OWNER GROUP DESC               tell whether the owner has a photo so described
  set-default OWNER GROUP DESC          make that photo the owner's default
  delete OWNER GROUP DESC               delete that photo
  delete-owner OWNER GROUP              delete every photo of the owner
  convert-to-files                      move every photo of the table into photo files
  convert-to-blobs                      move every photo file of the table into the table
  extract SOURCE_TABLE GROUP FOLDER     write a group's photos of an older table (PhotoCode,
                                        QualifierPhoto) to files in FOLDER, then remove those rows
  edit OWNER GROUP [--owner-name N]     open the photo editor window on an owner
  demo [--no-window]                    seed a sample database and open the editor on it

Options:
  --db PATH|URI        SQLite file (default kelvophotos.db; for demo
                       ~/.local/share/kelvophotos/demo.db) or postgresql://... URI
  --table NAME         photo table (PHOTOS)
  --id-col NAME        owner column (CODE)         --desc-col NAME      description column (DESCR)
  --group-col NAME     group column (GRP)          --comments-col NAME  comments column (COMMENTS)
  --default-col NAME   default-flag column (DEF)   --photo-col NAME     photo column (PIC)
  --files FOLDER       keep photos as files in FOLDER (convert-to-blobs: read them from there)
  --max-kb N           largest photo allowed, in kilobytes of bitmap (0 = no limit)
  --app-path DIR       application folder (default photos folder is DIR/KelvPhotos)
  --help               this text

Exit status: 0 done, 1 failed, 2 bad command line, 3 no display for a window.
)";
}

}  // namespace kelvo::cli
