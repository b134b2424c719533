// The owner commands: add, list, export, search, set-default, delete and delete-owner, each
// through one store initialised on the owner.
#include <locale.h>
#include <wchar.h>

#include <cstdio>
#include <optional>

#include "commands.h"
#include "platform/files/files.h"
#include "platform/text.h"

namespace kelvo::cli {
namespace {

std::string baseName(const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// The terminal columns of UTF-8 `text`: two for a wide (East Asian) character, none for a
// combining mark, whatever the user's locale. A byte that is not UTF-8 takes one.
std::size_t screenColumns(const std::string& text) {
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    if (!utf8) return text.size();
    const locale_t previous = uselocale(utf8);
    mbstate_t state{};
    std::size_t columns = 0;
    for (std::size_t at = 0; at < text.size();) {
        wchar_t character = 0;
        const std::size_t length = mbrtowc(&character, text.data() + at, text.size() - at, &state);
        if (length == static_cast<std::size_t>(-1) || length == static_cast<std::size_t>(-2)) {
            state = {};
            ++columns, ++at;
            continue;
        }
        const int width = wcwidth(character);
        columns += width < 0 ? 1 : static_cast<std::size_t>(width);
        at += length == 0 ? 1 : length;
    }
    uselocale(previous);
    return columns;
}

// `text` padded with spaces to `width` terminal columns.
std::string padded(const std::string& text, std::size_t width) {
    const std::size_t columns = screenColumns(text);
    return columns >= width ? text : text + std::string(width - columns, ' ');
}

// MarkDefaultPhoto in a transaction of its own: a failure keeps the default the owner had.
void markDefaultPhoto(CPicture& store, const std::string& storedDescription) {
    const std::string owner = store.PhotoCode();
    try {
        Connection::WritesTogether writes(*store.DBConnection());
        store.MarkDefaultPhoto(storedDescription);
        writes.Commit();
    } catch (const Error& e) {
        throw CommandError("cannot mark the default photo of " + owner + ": " + e.what());
    }
}

// Adds to one owner wait for one another, so each one's check sees the rows of those before
// it. REQUIRES: inside a WritesTogether on `cnn`.
void waitForOtherAdds(const CPicture& store, Connection& cnn) {
    cnn.WaitForWritersOf(store.TableName + "\n" + store.PhotoCode() + "\n" + store.PhotosGroup());
}

}  // namespace

void AddPhotoToOwner(CPicture& store, StoreListener& events, const PicturePtr& picture,
                     const std::string& description, const std::string& comments,
                     bool makeDefault) {
    bool over = false;
    std::string size = store.VerifyPhotoSize(*picture, &over);
    if (over)
        throw CommandError("the photo is " + size + " KB, over the limit of " +
                           NumberText(store.PhotosMaxSize) + " KB");
    const std::string owner = store.PhotoCode();
    // The check, the row, its photo and the default land together or not at all: a failed
    // add is undone by its rollback alone, which cannot touch another add's row.
    Connection& cnn = *store.DBConnection();
    std::optional<Connection::WritesTogether> writes;
    try {
        writes.emplace(cnn);
        waitForOtherAdds(store, cnn);
        store.RequeryPhotos();  // rows other adds put in since Init
    } catch (const Error& e) {
        throw CommandError("cannot add the photo to " + owner + ": " + e.what());
    }
    // Checked as it will be stored: two empty descriptions would share one photo file.
    store.CheckIfDescriptionExists(CPicture::StoredText(description));
    events.ThrowIfAny("cannot check the photos of " + owner);
    if (events.descriptionTaken)
        throw CommandError(owner + " already has a photo described '" + description + "'");
    store.PhotoDescription(description);
    store.PhotoComments(comments);
    store.DefaultPhoto(false);  // marked once the photo is safely in
    store.OwnerPhoto(picture);
    store.SavePhotoDetails(true, false);
    events.ThrowIfAny("cannot add the photo to " + owner);
    try {
        if (makeDefault) store.MarkDefaultPhoto(CPicture::StoredText(description));
        writes->Commit();
    } catch (const Error& e) {
        // The rollback takes the row out; the file it wrote goes first, while the lock holds.
        store.DiscardPhotoFile();
        throw CommandError("cannot add the photo to " + owner + ": " + e.what());
    }
}

int PrintOwnerPhotos(CPicture& store, StoreListener& events) {
    const std::int32_t count = store.PhotoCount();
    std::size_t reported = events.messages.size();
    std::int32_t unreadable = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        if (i == 0)
            store.FirstRecord();
        else
            store.NextRecord();
        std::string position = std::to_string(events.position) + "/" + std::to_string(events.total);
        std::string size;
        const bool readable = events.messages.size() == reported;
        if (!readable) {
            // One bad photo hides none of the others: it is marked, and the command fails last.
            ++unreadable;
            size = "unreadable";
            for (; reported < events.messages.size(); ++reported)
                std::fprintf(stderr, "kelvophotos: photo %s of %s: %s\n", position.c_str(),
                             Shown(store.PhotoCode()).c_str(),
                             Shown(events.messages[reported]).c_str());
        } else {
            PicturePtr photo = store.OwnerPhoto();
            size = photo->IsEmpty() ? "no photo" : store.CheckPicDiskSize(*photo);
        }
        const char* mark = !readable ? "?" : store.DefaultPhoto() ? "*" : " ";
        std::printf("%-7s %s %s %s\n", position.c_str(), mark,
                    padded(Shown(store.PhotoDescription()), 30).c_str(), size.c_str());
    }
    if (unreadable > 0)
        throw CommandError(std::to_string(unreadable) + " of " + std::to_string(count) +
                           " photo(s) of " + store.PhotoCode() + " could not be read");
    return count;
}

int AddCommand(const CliOptions& options) {
    RequireOperands(options, 3, "add OWNER GROUP FILE [--desc D] [--comments C] [--default]");
    const std::string& owner = options.operands[0];
    const std::string& file = options.operands[2];
    OwnerSession session(options, owner, options.operands[1]);
    PicturePtr picture;
    try {
        picture = session.store.services().pictures->LoadPicture(file);
    } catch (const Error& e) {
        throw CommandError("cannot read the picture " + file + ": " + e.what());
    }
    std::string description = options.description.value_or(baseName(file));
    session.store.PhotoCode(owner);
    AddPhotoToOwner(session.store, session.events, picture, description, options.comments,
                    options.makeDefault);
    std::printf("added '%s' to %s\n", Shown(description).c_str(), Shown(owner).c_str());
    return 0;
}

int ListCommand(const CliOptions& options) {
    RequireOperands(options, 2, "list OWNER GROUP");
    OwnerSession session(options, options.operands[0], options.operands[1]);
    if (session.rowCount() == 0) {
        std::printf("%s has no photos in %s\n", Shown(options.operands[0]).c_str(),
                    Shown(options.operands[1]).c_str());
        return 0;
    }
    PrintOwnerPhotos(session.store, session.events);
    return 0;
}

int ExportCommand(const CliOptions& options) {
    RequireOperands(options, 3, "export OWNER GROUP OUTFILE [--desc D]");
    const std::string& owner = options.operands[0];
    const std::string& outFile = options.operands[2];
    OwnerSession session(options, owner, options.operands[1]);
    if (session.rowCount() == 0) throw CommandError(owner + " has no photos");
    if (options.description) {
        session.findDescribed(*options.description);
    } else {
        session.store.LoadData(true, false);
        session.events.ThrowIfAny("cannot read the default photo of " + owner);
    }
    PicturePtr photo = session.store.OwnerPhoto();
    if (photo->IsEmpty())
        throw CommandError("the photo '" + session.store.PhotoDescription() + "' is empty");
    try {
        session.store.services().pictures->SavePicture(*photo, outFile);
    } catch (const Error& e) {
        throw CommandError("cannot write " + outFile + ": " + e.what());
    }
    std::printf("wrote '%s' to %s\n", Shown(session.store.PhotoDescription()).c_str(),
                Shown(outFile).c_str());
    return 0;
}

int SearchCommand(const CliOptions& options) {
    RequireOperands(options, 3, "search OWNER GROUP DESC");
    OwnerSession session(options, options.operands[0], options.operands[1]);
    session.findDescribed(options.operands[2]);
    std::printf("found '%s'%s\n", Shown(session.store.PhotoDescription()).c_str(),
                session.store.DefaultPhoto() ? " (default)" : "");
    return 0;
}

int SetDefaultCommand(const CliOptions& options) {
    RequireOperands(options, 3, "set-default OWNER GROUP DESC");
    const std::string& owner = options.operands[0];
    OwnerSession session(options, owner, options.operands[1]);
    session.findDescribed(options.operands[2]);
    markDefaultPhoto(session.store, session.store.PhotoDescription());
    std::printf("'%s' is now the default photo of %s\n", Shown(options.operands[2]).c_str(),
                Shown(owner).c_str());
    return 0;
}

int DeleteCommand(const CliOptions& options) {
    RequireOperands(options, 3, "delete OWNER GROUP DESC");
    const std::string& owner = options.operands[0];
    OwnerSession session(options, owner, options.operands[1]);
    session.findDescribed(options.operands[2], true);  // a broken photo is deleted all the same
    session.store.DeleteRecord();
    session.events.ThrowIfAny("cannot delete the photo of " + owner);
    std::printf("deleted '%s' of %s\n", Shown(options.operands[2]).c_str(), Shown(owner).c_str());
    return 0;
}

// Row by row through DeleteRecord, which also removes each row's photo file; the store's
// DeletePhotos matches on the owner name and a fixed column, not on this table's layout.
int DeleteOwnerCommand(const CliOptions& options) {
    RequireOperands(options, 2, "delete-owner OWNER GROUP");
    const std::string& owner = options.operands[0];
    OwnerSession session(options, owner, options.operands[1]);
    int deleted = 0;
    for (std::int32_t left = session.rowCount(); left > 0; ++deleted) {
        session.store.FirstRecord();
        session.events.messages.clear();  // a photo that cannot be read is deleted all the same
        session.store.DeleteRecord();
        session.events.ThrowIfAny("cannot delete the photos of " + owner);
        std::int32_t now = session.rowCount();
        if (now >= left) throw CommandError("the photos of " + owner + " could not be deleted");
        left = now;
    }
    std::printf("deleted %d photo(s) of %s\n", deleted, Shown(owner).c_str());
    return 0;
}

}  // namespace kelvo::cli
