// ResizePhoto on a control that keeps its properties by name.
#include <cmath>
#include <map>

#include "support/photo_env.h"

namespace kelvo::test {
namespace {

// An image control showing a picture of a natural size: while not stretching it takes that
// size back whenever Stretch is set false.
class FakeImageControl : public ImageControl {
  public:
    FakeImageControl(double width, double height)
        : naturalWidth(width), naturalHeight(height), props{{"Visible", Variant(true)},
                                                            {"Stretch", Variant(false)},
                                                            {"Width", Variant(width)},
                                                            {"Height", Variant(height)},
                                                            {"Left", Variant(0.0)},
                                                            {"Top", Variant(0.0)},
                                                            {"BorderStyle", Variant(1)}} {}
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

// A picture no larger than the frame less its margin keeps its size; a larger one is
// stretched so its longer side fits; either is centred. NAN: not checked.
TEST(ResizePhoto, FitsTheLongerSideAndCentres) {
    struct Fit {
        double w, h, frameWidth, frameHeight, width, height, left, top, stretched;
    };
    const Fit fits[] = {{1000, 500, 4000, 3000, 1000, 500, 1475, 1225, 0},
                        {8000, 4000, 4000, 3000, 3950, 1975, 0, 487.5, 1},
                        {3000, 6000, 4000, 3000, 1475, 2950, 1237.5, 0, NAN},
                        {5000, 5000, 4000, 3000, 2950, 2950, NAN, NAN, NAN},
                        {3950, 2950, 4000, 3000, 3950, NAN, NAN, NAN, 0},
                        {3000, 2000, 4000, 1000, 3950, 2633.33, NAN, NAN, NAN}};
    PhotoEnv env;
    auto store = env.newStore();
    for (const Fit& fit : fits) {
        FakeImageControl control(fit.w, fit.h);
        store->ResizePhoto(control, fit.frameWidth, fit.frameHeight);
        EXPECT_TRUE(control.flag("Visible"));
        EXPECT_EQ(control.props["BorderStyle"].toInt(), 0);
        const double found[] = {control.num("Width"), control.num("Height"), control.num("Left"),
                                control.num("Top"), control.flag("Stretch") ? 1.0 : 0.0};
        const double wanted[] = {fit.width, fit.height, fit.left, fit.top, fit.stretched};
        for (int i = 0; i < 5; ++i) {
            if (!std::isnan(wanted[i])) {
                EXPECT_NEAR(found[i], wanted[i], 0.01) << fit.w << " x " << fit.h << " #" << i;
            }
        }
    }
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
