// The store's properties, validation events and Init on both back ends; photo sizes, the
// size limit and temporary names under the C locale and one whose decimal point is a comma;
// ResizePhoto on a control that keeps its properties by name.
#include <clocale>
#include <cmath>
#include <map>
#include <vector>

#include "support/photo_env.h"
#include "support/test_images.h"

namespace kelvo::test {
namespace {

// Setters, the never-null photo, moves and Init without a connection, before any database.
TEST(StoreState, PropertiesAndInitWithoutConnection) {
    PhotoEnv env;
    auto store = env.newStore();
    store->NextRecord();
    store->PreviousRecord();
    EXPECT_EQ(env.events.count("ErrorDescrption: "), 2);
    EXPECT_EQ(env.events.lines.size(), 2u);
    EXPECT_THROW(store->FirstRecord(), Error);
    EXPECT_THROW(store->LastRecord(), Error);
    env.events.clear();
    store->PhotosGroup("CUST");
    store->PhotoDescription("Front");
    store->PhotoCode("A1");
    store->PhotoCode("A1");
    store->PhotoDescription("");
    store->PhotosGroup("");  // a plain setter: no event
    EXPECT_EQ(env.events.lines, (Lines{"DataValidated 0 ''", "DataValidated 1 ''",
                                       "DataValidated 1 ''", "DataValidated 0 ''"}));

    EXPECT_TRUE(store->OwnerPhoto() && store->OwnerPhoto()->IsEmpty());
    PicturePtr picture = MakePicture(4, 3);
    store->Photo(picture);
    EXPECT_EQ(store->OwnerPhoto(), picture);
    store->OwnerPhoto(nullptr);
    EXPECT_TRUE(store->Photo() && store->Photo()->IsEmpty()) << "never null";

    store->PhotoCode("OLD");
    store->Photo(MakePicture(2, 2));
    env.events.clear();
    store->Init("A1", "CUST", "Alice");
    ASSERT_EQ(env.events.matching("TableError: "), env.events.lines);
    EXPECT_GT(env.events.lines.at(0).size(), std::string("TableError: ").size());
    EXPECT_TRUE(store->OwnerPhoto()->IsEmpty());
    EXPECT_EQ(store->PhotoCode(), "A1");
    EXPECT_EQ(store->PhotosOwnerName(), "Alice");
    EXPECT_EQ(store->DBConnection(), nullptr);
}

class InitTest : public PhotoTest {};

// Init selects the owner's rows of the group and stands on the last; quotes in values are
// just values; an empty owner keeps the earlier total; a given recordset is used as it is.
TEST_P(InitTest, SelectsTheOwnersRowsOfTheGroupAndStandsOnTheLast) {
    addRow("A1", "Front", "CUST");
    addRow("A1", "Back", "CUST");
    addRow("A1", "Side", "STAFF");
    addRow("B2", "Front", "CUST");
    addRow("O'Neil", "Front", "CU'ST");
    auto store = newStore();
    store->PhotosOwnerName("kept");
    store->Init("O'Neil", "CU'ST", "", nullptr, db->connection());
    EXPECT_EQ(store->m_rsPhotoDetails->RecordCount(), 1);
    store->Init("A1", "CUST", "", nullptr, db->connection());
    EXPECT_TRUE(events.lines.empty());
    EXPECT_EQ(store->PhotosOwnerName(), "kept");
    EXPECT_EQ(store->m_rsPhotoDetails->RecordCount(), 2);
    EXPECT_FALSE(store->m_rsPhotoDetails->EOF());
    store->m_rsPhotoDetails->MoveNext();
    EXPECT_TRUE(store->m_rsPhotoDetails->EOF()) << "Init leaves the set on its last row";

    store->Init("ZZ", "CUST", "", nullptr, db->connection());
    EXPECT_EQ(store->m_rsPhotoDetails->RecordCount(), 0);
    addRow("ZZ", "Only", "CUST");
    store->m_rsPhotoDetails->Requery();
    store->FirstRecord();
    EXPECT_EQ(events.matching("RecordPosition"), Lines{"RecordPosition 1/2"});

    auto rs = OpenRows(db->connection());
    store->Init("", "", "", rs, nullptr);
    EXPECT_EQ(store->m_rsPhotoDetails, rs);
    EXPECT_EQ(store->DBConnection(), db->connection());
    EXPECT_EQ(store->PhotoCode(), "ZZ") << "an empty argument keeps the member";
    EXPECT_EQ(events.errors(), Lines{});
}

// A missing table or column, or a closed connection, is one TableError at Init with the
// database's text, and a host going on regardless adds no row.
TEST_P(InitTest, FailuresRaiseTableErrorWithTheDatabasesText) {
    for (std::string CPicture::*field :
         {&CPicture::TableName, &CPicture::OwnerIDField, &CPicture::OwnerDescField,
          &CPicture::OwnerCommentsField, &CPicture::OwnerDefaultPhotoField,
          &CPicture::OwnerPhotoField, static_cast<std::string CPicture::*>(nullptr)}) {
        auto mistyped = newStore(field == &CPicture::OwnerPhotoField);
        auto connection = field ? db->connection() : db->OpenAnother();
        if (field) (*mistyped).*field = "PICTURE";
        if (!field) connection->Close();
        events.clear();
        mistyped->Init("A1", "CUST", "", nullptr, connection);
        ASSERT_EQ(events.lines.size(), 1u);
        EXPECT_EQ(events.count("TableError: "), 1);
        EXPECT_TRUE(!field || events.lines[0].find("PICTURE") != std::string::npos)
            << events.lines[0];
        mistyped->PhotoDescription("Front");
        mistyped->Photo(MakePicture(3, 3));
        mistyped->SavePhotoDetails(true, false);
        EXPECT_GE(events.count("ErrorDescrption: "), 1);
        EXPECT_EQ(rowCount("A1", "CUST"), 0);
    }
}

TEST_P(InitTest, SchemaQualifiedTablesHoldPhotos) {
    db->CreatePhotoTable("crm.PHOTOS");
    PicturePtr photo = MakePicture(5, 4, 0x445566);
    for (bool saveAsFile : {false, true}) {
        auto store = newStore(saveAsFile);
        store->TableName = "crm.PHOTOS";
        store->Init("A1", "CUST", "", nullptr, db->connection());
        store->PhotoDescription(saveAsFile ? "File" : "Column");
        store->Photo(photo);
        store->SavePhotoDetails(true, false);
        EXPECT_EQ(PixelAt(*store->GetPhoto("CUST", "A1", db->connection()), 4, 3), 0x445566u);
    }
    EXPECT_EQ(events.count("TableError") + events.count("Error"), 0);
    EXPECT_EQ(rowCount("A1", "CUST"), 0) << "PHOTOS without its schema is another table";
}

INSTANTIATE_TEST_SUITE_P(Backends, InitTest, testing::ValuesIn(TestBackends()), BackendName);

// Under LC_ALL set to the parameter, as QApplication sets the user's.
class SizesTest : public testing::TestWithParam<std::string>, public PhotoEnv {
  protected:
    void SetUp() override {
        ASSERT_TRUE(std::setlocale(LC_ALL, GetParam().c_str()))
            << "no locale " << GetParam() << ": ./kelvophotos.sh deps makes it";
        useFreshTmpdir();
        services.pictures = &patterns;
        store = newStore();
    }
    void TearDown() override {
        std::setlocale(LC_ALL, previousLocale.c_str());
        EXPECT_EQ(filesIn(tmp), Lines{}) << "temporary files left behind";
    }
    // Init copies PhotosMaxSize; a handed-in recordset is enough for that.
    void initWithLimit(double kilobytes) {
        store->PhotosMaxSize = kilobytes;
        store->Init("A1", "CUST", "", std::make_shared<Recordset>());
        events.clear();
    }
    bool over(int bytes) {
        bool bSizeOver = false;
        store->VerifyPhotoSize(*MakePicture(bytes, 1), &bSizeOver);
        return bSizeOver;
    }

    const std::string previousLocale = std::setlocale(LC_ALL, nullptr);
    PatternPictures patterns;
    std::unique_ptr<CPicture> store;
};

// Sizes are kilobytes with two decimals, or as few as needed; the limit in force is the one
// Init saw, compared with the size rounded to kilobytes; an unwritable temporary folder
// measures nothing but a real bitmap and gives no temporary names, which are otherwise fresh.
TEST_P(SizesTest, SizeTextsLimitsAndTempNames) {
    double dSize = -1;
    EXPECT_EQ(store->CheckPicDiskSize(*MakePicture(2048, 1), &dSize), "2.00 KB");
    EXPECT_EQ(dSize, 2048);
    EXPECT_EQ(store->CheckPicDiskSize(*MakePicture(1536, 1)), "1.50 KB");
    EXPECT_EQ(store->VerifyPhotoSize(*MakePicture(1536, 1)), "1.5");
    EXPECT_EQ(store->VerifyPhotoSize(*MakePicture(1024, 1)), "1");
    EXPECT_EQ(interaction.yields, 4) << "one yield per measurement";
    bool bSizeOver = true;
    EXPECT_EQ(store->CheckPicDiskSize(Picture(), &dSize), "0.00 KB");
    EXPECT_EQ(dSize, 0);
    EXPECT_EQ(store->VerifyPhotoSize(Picture(), &bSizeOver), "0");
    EXPECT_FALSE(bSizeOver);

    initWithLimit(2);
    EXPECT_FALSE(over(2048));
    EXPECT_FALSE(over(2053)) << "2053 bytes read back as 2.00 KB";
    EXPECT_TRUE(over(2054));
    EXPECT_FALSE(over(0));
    initWithLimit(0);
    store->PhotosMaxSize = 1;
    EXPECT_FALSE(over(100000));
    initWithLimit(5);
    store->PhotosMaxSize = 0;
    EXPECT_TRUE(over(1024));
    EXPECT_FALSE(over(5)) << "0.00 KB is not more than 0";

    const std::string first = store->GetTempPixName(), second = store->GetTempPixName();
    EXPECT_NE(first, second);
    for (const std::string& name : {first, second}) {
        EXPECT_EQ(name.rfind(tmp + "Pix", 0), 0u) << name;
        EXPECT_FALSE(LocalFileSystem().FileExists(name));
    }
    files.FailWritesUnder(tmp);
    EXPECT_EQ(store->GetTempPixName(), "");
    dSize = -1;
    EXPECT_EQ(store->CheckPicDiskSize(*MakePicture(2048, 1), &dSize), "0.00 KB");
    EXPECT_EQ(dSize, 0);
    // A real bitmap's length is known without writing it.
    services.pictures = &pictures;
    PicturePtr picture = MakePicture(40, 30);
    newStore()->CheckPicDiskSize(*picture, &dSize);
    EXPECT_EQ(dSize, static_cast<double>(bitmapOf(*picture).size()));
}

INSTANTIATE_TEST_SUITE_P(Locales, SizesTest, testing::Values("C", "de_DE.UTF-8"),
                         [](const auto& info) { return info.index == 0 ? "C" : "German"; });

// An image control showing a picture of a natural size: it takes that size back whenever
// Stretch is set false. A property it lacks throws.
struct FakeImageControl : ImageControl {
    FakeImageControl(double width, double height)
        : natural{width, height}, props{{"Visible", true},  {"Stretch", false}, {"Width", width},
                                        {"Height", height}, {"Left", 0.0},      {"Top", 0.0},
                                        {"BorderStyle", 1}} {}
    Variant GetProperty(const std::string& name) override { return props.at(name); }
    void SetProperty(const std::string& name, const Variant& value) override {
        props.at(name) = value;
        if (name != "Stretch" || value.toBool()) return;
        props["Width"] = natural[0];
        props["Height"] = natural[1];
    }
    double natural[2];
    std::map<std::string, Variant> props;
};

// A picture no larger than the frame less its margin keeps its size; a larger one is
// stretched so its longer side fits; either is centred, and properties the control lacks
// are passed over. NAN: not checked.
TEST(ResizePhoto, FitsTheLongerSideAndCentres) {
    struct Fit {
        double w, h, frameWidth, frameHeight, width, height, left, top, stretched;
        std::vector<const char*> missing = {};
    };
    const Fit fits[] = {{1000, 500, 4000, 3000, 1000, 500, 1475, 1225, 0},
                        {8000, 4000, 4000, 3000, 3950, 1975, 0, 487.5, 1},
                        {3000, 6000, 4000, 3000, 1475, 2950, 1237.5, 0, NAN},
                        {5000, 5000, 4000, 3000, 2950, 2950, NAN, NAN, NAN},
                        {3950, 2950, 4000, 3000, 3950, NAN, NAN, NAN, 0},
                        {3000, 2000, 4000, 1000, 3950, 2633.33, NAN, NAN, NAN},
                        {0, 0, 0, 0, NAN, NAN, NAN, NAN, NAN},
                        {8000, 4000, 4000, 3000, 3950, NAN, NAN, 487.5, NAN, {"Stretch", "Left"}}};
    PhotoEnv env;
    auto store = env.newStore();
    for (const Fit& fit : fits) {
        FakeImageControl control(fit.w, fit.h);
        for (const char* name : fit.missing) control.props.erase(name);
        store->ResizePhoto(control, fit.frameWidth, fit.frameHeight);
        const double wanted[] = {fit.width, fit.height, fit.left, fit.top, fit.stretched, 1, 0};
        const char* names[] = {"Width",   "Height",  "Left",       "Top",
                               "Stretch", "Visible", "BorderStyle"};
        for (int i = 0; i < 7; ++i) {
            if (std::isnan(wanted[i])) continue;
            EXPECT_NEAR(control.props.at(names[i]).toDouble(), wanted[i], 0.01)
                << fit.w << " x " << fit.h << " " << names[i];
        }
    }
    EXPECT_EQ(env.events.lines, Lines{});
}

}  // namespace
}  // namespace kelvo::test
