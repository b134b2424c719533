// The editor window, offscreen: opening it on an owner whose default photo has 20 megapixels
// until the fitted photo is drawn, and switching between two such photos in its list, against
// loading the same picture file with QImage and scaling it to the photo frame.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QTreeWidget>

#include "bench_support.h"
#include "editor/frmPhoto.h"
#include "editor/qt/photo_window.h"

namespace kelvo::bench {
namespace {

constexpr int kWidth = 5472, kHeight = 3648;  // 20 megapixels, 60 MB as a 24-bit bitmap

struct WindowPhotos {
    std::string database;
    std::string bitmapFile;  // the default photo's bytes as a picture file
};

// The owner's two photos in blob mode, "Front" the default; made once a run.
const WindowPhotos& windowPhotos() {
    static const WindowPhotos photos = [] {
        WindowPhotos made;
        const std::string folder = ScratchFolder();
        made.database = folder + "window.db";
        made.bitmapFile = folder + "front.bmp";
        RawSqlite raw(made.database);
        raw.Exec(kPhotoTableSql);
        const Bytes front = BitmapBytesOf(*RandomPicture(kWidth, kHeight, 1));
        WriteFileRaw(made.bitmapFile, front);
        raw.InsertPhoto("OWNER", "Front", "CUST", true, front);
        raw.InsertPhoto("OWNER", "Side", "CUST", false,
                        BitmapBytesOf(*RandomPicture(kWidth, kHeight, 2)));
        return made;
    }();
    return photos;
}

// An editor window open on the owner, as EditPhoto opens it (without its modal loop).
class OpenWindow {
  public:
    explicit OpenWindow(const std::shared_ptr<Connection>& cnn)
        : store_(MakeStore()), form_(window_) {
        store_->Init("OWNER", "CUST", "Ada Lovelace", nullptr, cnn);
        window_.attach(&form_);
        form_.objcPhoto(store_.get());
        form_.Form_Load();
        window_.show();
    }
    ~OpenWindow() {
        window_.attach(nullptr);
        form_.objcPhoto(nullptr);
    }
    // Draws the photo as the screen would show it; false unless it is drawn fitted.
    bool drawPhoto() {
        QWidget* view = window_.widget(Ctl::imgMainPhoto);
        const QPixmap drawn = view->grab();
        return window_.Stretch(Ctl::imgMainPhoto) && !drawn.isNull() && view->width() > 0;
    }
    void click(int item) {
        auto* list = static_cast<QTreeWidget*>(window_.widget(Ctl::lvwPicDescription));
        emit list->itemClicked(list->topLevelItem(item), 0);
    }
    std::string description() { return window_.Text(Ctl::txtDescription); }

  private:
    std::unique_ptr<CPicture> store_;
    QtPhotoWindow window_;
    frmPhoto form_;
};

void BM_WindowOpen(benchmark::State& state) {
    auto cnn = Connection::Open(windowPhotos().database);
    for (auto _ : state) {
        auto window = std::make_unique<OpenWindow>(cnn);
        if (!window->drawPhoto() || window->description() != "Front")
            state.SkipWithError("the default photo was not drawn fitted");
        state.PauseTiming();
        window.reset();
        state.ResumeTiming();
    }
}

void BM_WindowSwitchPhoto(benchmark::State& state) {
    auto cnn = Connection::Open(windowPhotos().database);
    OpenWindow window(cnn);
    int item = 0;
    for (auto _ : state) {
        item = 1 - item;
        window.click(item);
        if (!window.drawPhoto() || window.description() != (item ? "Side" : "Front"))
            state.SkipWithError("the chosen photo was not drawn fitted");
    }
}

// What a viewer written by hand does: the file through QImage, scaled into the photo frame.
void BM_QImageLoadAndFit(benchmark::State& state) {
    const std::string file = windowPhotos().bitmapFile;
    const QSize frame = QtPhotoWindow().widget(Ctl::picPhotoFrame)->size();
    for (auto _ : state) {
        QImage image(QString::fromStdString(file));
        QImage fitted = image.scaled(frame, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (fitted.isNull()) state.SkipWithError("the picture did not load");
        benchmark::DoNotOptimize(fitted.constBits());
    }
}

BENCHMARK(BM_WindowOpen)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_WindowSwitchPhoto)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QImageLoadAndFit)->Unit(benchmark::kMillisecond)->UseRealTime();

const bool paired = (PairWithBaseline("BM_WindowOpen", "BM_QImageLoadAndFit", 2),
                     PairWithBaseline("BM_WindowSwitchPhoto", "BM_QImageLoadAndFit", 2), true);

}  // namespace
}  // namespace kelvo::bench
