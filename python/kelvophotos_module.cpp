// The Python module kelvophotos: a Store over CPicture with its configuration and properties
// as attributes, its events as Python callables, photos in and out as bytes or picture files,
// and kelvophotos.Error where the store throws.
#include <pybind11/functional.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <kelvophotos/CPicture.h>
#include <kelvophotos/editor.h>
#include <kelvophotos/files.h>
#include <kelvophotos/version.h>

#include "capi/bitmap_bytes.h"

#include <array>
#include <string>

namespace py = pybind11;
using kelvo::CPicture;

namespace {

// Event names, in the order of Listener::handlers.
constexpr std::array<const char*, 11> kEvents = {
    "DataValidated",   "RecordPosition",    "IsFirstRecord",     "IsLastRecord",
    "CodeExists",      "DescriptionExists", "RecordExists",      "TableError",
    "ErrorDescrption", "ErrorSavingPhoto",  "ConversionProgress"};

// Calls the Python callable set for each event. A callable's result, when not None, becomes
// the event's flag (DataValidated, IsFirstRecord, ...). An exception in a callable is
// reported as unraisable: the store's operation goes on as it would without the listener.
class Listener : public kelvo::CPictureEvents {
  public:
    std::array<py::object, kEvents.size()> handlers;

    void DataValidated(bool& valid, std::string& message) override {
        flag(0, valid, valid, message);
    }
    void RecordPosition(std::int32_t& position, std::int32_t& total) override {
        call(1, position, total);
    }
    void IsFirstRecord(bool& b) override { flag(2, b, b); }
    void IsLastRecord(bool& b) override { flag(3, b, b); }
    void CodeExists(bool& b) override { flag(4, b, b); }
    void DescriptionExists(bool& b) override { flag(5, b, b); }
    void RecordExists(bool& b) override { flag(6, b, b); }
    void TableError(std::string& s) override { call(7, s); }
    void ErrorDescrption(std::string& s) override { call(8, s); }
    void ErrorSavingPhoto(std::string& s) override { call(9, s); }
    void ConversionProgress(std::string& msg, std::int32_t& pos, std::int32_t& total) override {
        call(10, msg, pos, total);
    }

  private:
    template <typename... Args>
    py::object call(std::size_t event, const Args&... args) {
        if (!handlers[event] || handlers[event].is_none()) return py::none();
        try {
            return handlers[event](args...);
        } catch (py::error_already_set& e) {
            e.discard_as_unraisable(kEvents[event]);
            return py::none();
        }
    }
    template <typename... Args>
    void flag(std::size_t event, bool& value, const Args&... args) {
        py::object result = call(event, args...);
        if (!result.is_none()) value = result.cast<bool>();
    }
};

// A store with its listener; the editor window opens in any host.
class Store {
  public:
    Store() {
        kelvo::InstallQtPhotoEditorForAnyHost();
        store.AddListener(&listener);
    }
    CPicture store;
    Listener listener;
};

kelvo::PictureService& pictures() {
    return *kelvo::DefaultServices().pictures;
}

// The current photo as the bytes of an uncompressed bitmap; None when there is none.
py::object photoBytes(CPicture& store) {
    kelvo::PicturePtr photo = store.OwnerPhoto();
    if (photo->IsEmpty()) return py::none();
    return py::bytes(kelvo::BitmapBytes(*photo));
}

void setPhotoBytes(CPicture& store, const py::object& value) {
    if (value.is_none()) return store.OwnerPhoto(nullptr);
    const std::string data = value.cast<py::bytes>();
    store.OwnerPhoto(pictures().LoadPictureData(kelvo::Bytes(data.begin(), data.end()), "bytes"));
}

// A plain attribute of CPicture, read and written as is.
template <typename T>
void field(py::class_<Store>& cls, const char* name, T CPicture::*member) {
    cls.def_property(
        name, [member](const Store& s) { return s.store.*member; },
        [member](Store& s, const T& v) { s.store.*member = v; });
}

// A property of CPicture read and set through its accessor pair.
template <typename T, typename Get>
void property(py::class_<Store>& cls, const char* name, Get get, void (CPicture::*set)(T)) {
    cls.def_property(
        name, [get](const Store& s) { return (s.store.*get)(); },
        [set](Store& s, std::decay_t<T> v) { (s.store.*set)(v); });
}

}  // namespace

PYBIND11_MODULE(kelvophotos, m) {
    m.doc() = "KelvoPhotos: photos attached to the rows of a host application's own table";
    m.attr("__version__") = KELVOPHOTOS_VERSION;
    py::register_exception<kelvo::Error>(m, "Error");

    py::class_<kelvo::Connection, std::shared_ptr<kelvo::Connection>>(m, "Connection")
        .def_property_readonly("engine", &kelvo::Connection::Engine)
        .def(
            "execute", [](kelvo::Connection& c, const std::string& sql) { c.Execute(sql); },
            "Runs a statement of the host's own (tables, seeding); no result rows.");
    m.def("connect", &kelvo::Connection::Open,
          "Opens a SQLite file (created when missing) or a postgresql:// URI.");
    m.def("set_app_path", &kelvo::SetAppPath, "The folder that stands for the application's.");

    py::class_<Store> cls(m, "Store");
    cls.def(py::init<>());
    field(cls, "TableName", &CPicture::TableName);
    field(cls, "OwnerIDField", &CPicture::OwnerIDField);
    field(cls, "OwnerDescField", &CPicture::OwnerDescField);
    field(cls, "OwnerGroupField", &CPicture::OwnerGroupField);
    field(cls, "OwnerCommentsField", &CPicture::OwnerCommentsField);
    field(cls, "OwnerDefaultPhotoField", &CPicture::OwnerDefaultPhotoField);
    field(cls, "OwnerPhotoField", &CPicture::OwnerPhotoField);
    field(cls, "PhotosFolder", &CPicture::PhotosFolder);
    field(cls, "SaveAsFile", &CPicture::SaveAsFile);
    field(cls, "PhotosMaxSize", &CPicture::PhotosMaxSize);
    field(cls, "BackColor", &CPicture::BackColor);
    using Text = const std::string& (CPicture::*)() const;
    using Flag = bool (CPicture::*)() const;
    using Length = std::int32_t (CPicture::*)() const;
    property(cls, "PhotoCode", Text(&CPicture::PhotoCode), &CPicture::PhotoCode);
    property(cls, "PhotoDescription", Text(&CPicture::PhotoDescription),
             &CPicture::PhotoDescription);
    property(cls, "PhotosGroup", Text(&CPicture::PhotosGroup), &CPicture::PhotosGroup);
    property(cls, "PhotosOwnerName", Text(&CPicture::PhotosOwnerName), &CPicture::PhotosOwnerName);
    property(cls, "PhotoComments", Text(&CPicture::PhotoComments), &CPicture::PhotoComments);
    property(cls, "DefaultPhoto", Flag(&CPicture::DefaultPhoto), &CPicture::DefaultPhoto);
    property(cls, "RecordEOF", Flag(&CPicture::RecordEOF), &CPicture::RecordEOF);
    property(cls, "RecordBOF", Flag(&CPicture::RecordBOF), &CPicture::RecordBOF);
    property(cls, "MaxCodeLength", Length(&CPicture::MaxCodeLength), &CPicture::MaxCodeLength);
    property(cls, "MaxDescriptionLength", Length(&CPicture::MaxDescriptionLength),
             &CPicture::MaxDescriptionLength);
    property(cls, "MaxQualifierLength", Length(&CPicture::MaxQualifierLength),
             &CPicture::MaxQualifierLength);
    property(cls, "MaxCommentsLength", Length(&CPicture::MaxCommentsLength),
             &CPicture::MaxCommentsLength);
    for (std::size_t i = 0; i < kEvents.size(); ++i)
        cls.def_property(
            kEvents[i], [i](const Store& s) { return s.listener.handlers[i]; },
            [i](Store& s, py::object fn) { s.listener.handlers[i] = std::move(fn); });

    cls.def_property(
        "photo", [](Store& s) { return photoBytes(s.store); },
        [](Store& s, const py::object& v) { setPhotoBytes(s.store, v); },
        "The current photo: set from the bytes of any picture file, read as a bitmap.");
    cls.def(
        "load_photo",
        [](Store& s, const std::string& path) { s.store.OwnerPhoto(pictures().LoadPicture(path)); },
        "The current photo from a picture file (BMP, PNG, JPEG, GIF, ICO...).");
    cls.def(
        "save_photo",
        [](Store& s, const std::string& path) {
            pictures().SavePicture(*s.store.OwnerPhoto(), path);
        },
        "Writes the current photo as a bitmap file.");
    cls.def_property_readonly("photo_size", [](Store& s) {
        double bytes = 0;
        std::string text = s.store.CheckPicDiskSize(*s.store.OwnerPhoto(), &bytes);
        return py::make_tuple(bytes, text);
    });

    using Cnn = std::shared_ptr<kelvo::Connection>;
    cls.def(
           "Init",
           [](Store& s, const std::string& code, const std::string& group, const std::string& name,
              Cnn cnn) { s.store.Init(code, group, name, nullptr, std::move(cnn)); },
           py::arg("code"), py::arg("group"), py::arg("owner_name") = "", py::arg("cnn") = nullptr)
        .def(
            "LoadData", [](Store& s, bool d) { s.store.LoadData(d, false); },
            py::arg("default_photo") = false)
        .def(
            "SearchForRecord",
            [](Store& s, const std::string& c, const std::string& d) {
                s.store.SearchForRecord(c, d);
            },
            py::arg("code") = "", py::arg("description") = "")
        .def("FirstRecord", [](Store& s) { s.store.FirstRecord(); })
        .def("LastRecord", [](Store& s) { s.store.LastRecord(); })
        .def("NextRecord", [](Store& s) { s.store.NextRecord(); })
        .def("PreviousRecord", [](Store& s) { s.store.PreviousRecord(); })
        .def("CheckIfCodeExists",
             [](Store& s, const std::string& v) { s.store.CheckIfCodeExists(v); })
        .def("CheckIfDescriptionExists",
             [](Store& s, const std::string& v) { s.store.CheckIfDescriptionExists(v); })
        .def(
            "SavePhotoDetails", [](Store& s, bool n) { s.store.SavePhotoDetails(n, false); },
            py::arg("new_record") = false)
        .def("DeleteRecord", [](Store& s) { s.store.DeleteRecord(); })
        .def("DeletePhotos", [](Store& s) { s.store.DeletePhotos(); })
        .def("UnSetDefaultPhoto", [](Store& s, const std::string& c,
                                     const std::string& d) { s.store.UnSetDefaultPhoto(c, d); })
        .def(
            "GetPhoto",
            [](Store& s, const std::string& g, const std::string& o, Cnn cnn) {
                return !s.store.GetPhoto(g, o, std::move(cnn))->IsEmpty();
            },
            "Makes the owner's default photo the current one; False when the owner has none.")
        .def("EditPhoto",
             [](Store& s, const std::string& g, const std::string& o, const std::string& n,
                Cnn cnn) { s.store.EditPhoto(g, o, n, std::move(cnn)); })
        .def(
            "ConvertAllToFiles", [](Store& s, Cnn cnn) { return s.store.ConvertAllToFiles(cnn); },
            py::arg("cnn") = nullptr)
        .def(
            "ConvertAllToBlobs", [](Store& s, Cnn cnn) { return s.store.ConvertAllToBlobs(cnn); },
            py::arg("cnn") = nullptr)
        .def("ExtractToFiles", [](Store& s, const std::string& t, const std::string& g,
                                  const std::string& f) { s.store.ExtractToFiles(t, g, f); });
}
