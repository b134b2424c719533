// Parsing of the kelvophotos command line.
#include "cli_options.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>

namespace kelvo::cli {
namespace {

constexpr char32_t kNotUtf8 = 0xFFFFFFFF;

// The code point that starts at `at`, and its length in `length`; kNotUtf8 (length 1) for a
// byte that does not start a well-formed sequence (overlong, surrogate, beyond U+10FFFF).
char32_t decodeAt(const std::string& text, std::size_t at, std::size_t& length) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    length = 1;
    if (lead < 0x80) return lead;
    const std::size_t size = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (size == 0 || lead > 0xF4 || at + size > text.size()) return kNotUtf8;
    char32_t point = lead & (0x7F >> size);
    for (std::size_t i = 1; i < size; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return kNotUtf8;
        point = (point << 6) | (byte(at + i) & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < kSmallest[size] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF))
        return kNotUtf8;
    length = size;
    return point;
}

bool isUtf8(const std::string& text) {
    for (std::size_t at = 0, length = 0; at < text.size(); at += length)
        if (decodeAt(text, at, length) == kNotUtf8) return false;
    return true;
}

// C0 and C1 controls, DEL, and the marks that reorder a line on screen.
bool needsEscape(char32_t point) {
    return point < 0x20 || (point >= 0x7F && point < 0xA0) || point == 0x200E || point == 0x200F ||
           (point >= 0x202A && point <= 0x202E) || (point >= 0x2066 && point <= 0x2069);
}

// A finite number of 0 or more.
double parseNumber(const std::string& option, const std::string& text) {
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value) || value < 0 || std::signbit(value))
        throw UsageError(option + " needs a finite number of 0 or more, not '" + Shown(text) + "'");
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
    // Such text could be stored but never matched again, nor shown as it was typed.
    for (std::size_t i = 0; i < args.size(); ++i)
        if (!isUtf8(args[i]))
            throw UsageError("argument " + std::to_string(i + 1) + " is not UTF-8 text: '" +
                             Shown(args[i]) + "'");
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
            if (setter == valueOptions().end()) throw UsageError("unknown option " + Shown(name));
            if (!inlineValue) {
                if (i + 1 >= args.size()) throw UsageError(Shown(name) + " needs a value");
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

std::string Shown(const std::string& text) {
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t at = 0, length = 0; at < text.size(); at += length) {
        const char32_t point = decodeAt(text, at, length);
        if (point != kNotUtf8 && !needsEscape(point)) {
            shown.append(text, at, length);
            continue;
        }
        char escape[16];
        if (point == kNotUtf8 || point < 0x80)
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(text[at]));
        else
            std::snprintf(escape, sizeof escape, "\\u{%04x}", static_cast<unsigned>(point));
        shown += escape;
    }
    return shown;
}

void RequireOperands(const CliOptions& options, std::size_t count, const char* synopsis) {
    if (options.operands.size() != count)
        throw UsageError(std::string("usage: kelvophotos ") + synopsis);
}

std::string UsageText() {
    return R"(usage: kelvophotos COMMAND [OPERANDS] [OPTIONS]

Commands:
  create-table                          create the photo table (owner, group, description unique)
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
