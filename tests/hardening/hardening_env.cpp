// The hardening tests' shared set-up.
#include "hardening_env.h"

#include "platform/pictures/qt_picture.h"
#include "support/test_images.h"

namespace kelvo::test {

std::string ErrorEvents::all() const {
    std::string text;
    for (const auto& s : tableErrors) text += "TableError: " + s + "\n";
    for (const auto& s : descriptions) text += "ErrorDescrption: " + s + "\n";
    for (const auto& s : savingErrors) text += "ErrorSavingPhoto: " + s + "\n";
    return text;
}

HardeningEnvironment::HardeningEnvironment()
    : app(TempFolder()),
      pictures(MakeQtPictures(files)),
      services{&files, pictures.get(), &interaction, &clipboard} {
    SetAppPath(app.substr(0, app.size() - 1));
}

std::unique_ptr<CPicture> HardeningEnvironment::newStore(bool saveAsFile) {
    auto store = std::make_unique<CPicture>(services);
    UsePhotoTable(*store);
    store->SaveAsFile = saveAsFile;
    store->AddListener(&events);
    return store;
}

std::vector<StoredRow> ReadPhotoRows(const std::shared_ptr<Connection>& connection,
                                     const std::string& table) {
    Recordset rs;
    rs.ActiveConnection(connection);
    rs.Source(Selection{table, {}, ""});
    rs.Open();
    std::vector<StoredRow> rows;
    auto text = [&](const char* column) {
        const Variant v = rs.Fields(column).Value();
        return v.isNull() ? std::string() : v.toText();
    };
    for (; !rs.EOF(); rs.MoveNext())
        rows.push_back({text("CODE"), text("DESCR"), text("GRP"), rs.Fields("PIC").Value()});
    return rows;
}

}  // namespace kelvo::test
