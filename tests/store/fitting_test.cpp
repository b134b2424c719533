// ResizePhoto on a control that keeps its properties by name.
#include <map>

#include "support/photo_env.h"

namespace kelvo::test {
namespace {

// An image control showing a picture of a natural size: while not stretching it takes that
// size back whenever Stretch is set false.
class FakeImageControl : public ImageControl {
  public:
    FakeImageControl(double width, double height) : naturalWidth(width), naturalHeight(height) {
        props["Visible"] = Variant(true);
        props["Stretch"] = Variant(false);
        props["Width"] = Variant(width);
        props["Height"] = Variant(height);
        props["Left"] = Variant(0.0);
        props["Top"] = Variant(0.0);
        props["BorderStyle"] = Variant(1);
    }
    Variant GetProperty(const std::string& name) override {
        auto it = props.find(name);
        if (it == props.end()) throw Error("no property " + name);
        return it->second;
    }
    void SetProperty(const std::string& name, const Variant& value) override {
        if (!props.count(name)) throw Error("no property " + name);
        props[name] = value;
        if (name == "Stretch" && !value.toBool()) {
            props["Width"] = Variant(naturalWidth);
            props["Height"] = Variant(naturalHeight);
        }
    }
    double num(const std::string& name) { return props.at(name).toDouble(); }
    bool flag(const std::string& name) { return props.at(name).toBool(); }

    double naturalWidth, naturalHeight;
    std::map<std::string, Variant> props;
};

struct Fit {
    double width, height, left, top;
    bool stretched;
};

Fit fit(double w, double h, double frameWidth, double frameHeight) {
    PhotoEnv env;
    auto store = env.newStore();
    FakeImageControl control(w, h);
    store->ResizePhoto(control, frameWidth, frameHeight);
    EXPECT_TRUE(control.flag("Visible"));
    EXPECT_EQ(control.props["BorderStyle"].toInt(), 0);
    return {control.num("Width"), control.num("Height"), control.num("Left"), control.num("Top"),
            control.flag("Stretch")};
}

TEST(ResizePhoto, FitsTheLongerSideAndCentres) {
    Fit small = fit(1000, 500, 4000, 3000);
    EXPECT_EQ(small.width, 1000);
    EXPECT_EQ(small.height, 500);
    EXPECT_FALSE(small.stretched);
    EXPECT_EQ(small.left, 1475);
    EXPECT_EQ(small.top, 1225);

    Fit wide = fit(8000, 4000, 4000, 3000);
    EXPECT_TRUE(wide.stretched);
    EXPECT_EQ(wide.width, 3950);
    EXPECT_EQ(wide.height, 1975);
    EXPECT_EQ(wide.left, 0);
    EXPECT_EQ(wide.top, 487.5);

    Fit tall = fit(3000, 6000, 4000, 3000);
    EXPECT_EQ(tall.width, 1475);
    EXPECT_EQ(tall.height, 2950);
    EXPECT_EQ(tall.left, 1237.5);
    EXPECT_EQ(tall.top, 0);

    Fit square = fit(5000, 5000, 4000, 3000);
    EXPECT_EQ(square.width, 2950);
    EXPECT_EQ(square.height, 2950);

    Fit exact = fit(3950, 2950, 4000, 3000);
    EXPECT_FALSE(exact.stretched);
    EXPECT_EQ(exact.width, 3950);

    Fit overflow = fit(3000, 2000, 4000, 1000);  // only the longer side is fitted
    EXPECT_EQ(overflow.width, 3950);
    EXPECT_NEAR(overflow.height, 2633.33, 0.01);
}

TEST(ResizePhoto, FailingPropertiesArePassedOver) {
    PhotoEnv env;
    auto store = env.newStore();
    FakeImageControl zero(0, 0);
    store->ResizePhoto(zero, 0, 0);  // a zero-sized picture in a frame smaller than the margin
    EXPECT_TRUE(zero.flag("Visible"));

    FakeImageControl partial(8000, 4000);
    partial.props.erase("Stretch");
    partial.props.erase("Left");
    store->ResizePhoto(partial, 4000, 3000);
    EXPECT_EQ(partial.num("Width"), 3950);
    EXPECT_EQ(partial.num("Top"), 487.5);
    EXPECT_EQ(partial.props["BorderStyle"].toInt(), 0);
    EXPECT_TRUE(env.events.lines.empty());
}

}  // namespace
}  // namespace kelvo::test
