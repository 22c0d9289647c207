// The slideshow's pictures on real files: the list file, decoding untrusted pictures, the
// thumbnails, the slideshow's order and frames, and the grid's geometry.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <array>
#include <fstream>

#include "AtomicFile.h"
#include "ExifJpeg.h"
#include "PictureFile.h"
#include "PictureFiles.h"
#include "PictureListFile.h"
#include "SharedFrame.h"
#include "Slideshow.h"
#include "TestFrames.h"
#include "ThumbnailGrid.h"
#include "ThumbnailList.h"

using namespace zavreo;

namespace {

bool Near(QColor actual, QColor expected, int tolerance = 12) {
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

// Pixel (x, y) of a 640 x 480 frame stored bottom row first, as seen.
QColor FramePixel(const std::vector<uint8_t>& frame, int x, int y) {
    const uint8_t* p =
        frame.data() +
        (static_cast<size_t>(kFrameHeight - 1 - y) * kFrameWidth + static_cast<size_t>(x)) * 3;
    return QColor(p[2], p[1], p[0]);
}

// A JPEG whose header claims `width` x `height`: a real small JPEG with its frame size patched.
std::string ClaimingJpeg(const PictureFolder& folder, int width, int height) {
    const std::string small = folder.Solid("small.jpg", Qt::red, QSize(64, 48));
    std::string bytes = ReadAll(small);
    for (size_t i = 2; i + 9 < bytes.size(); ++i) {
        if (static_cast<uint8_t>(bytes[i]) == 0xFF &&
            (static_cast<uint8_t>(bytes[i + 1]) & 0xF0) == 0xC0 &&
            static_cast<uint8_t>(bytes[i + 1]) <= 0xC2) {
            bytes[i + 5] = static_cast<char>(height >> 8);
            bytes[i + 6] = static_cast<char>(height & 0xFF);
            bytes[i + 7] = static_cast<char>(width >> 8);
            bytes[i + 8] = static_cast<char>(width & 0xFF);
            break;
        }
    }
    return folder.Bytes("huge.jpg", bytes);
}

void SpinUntilSettled(ThumbnailList& list) {
    QElapsedTimer clock;
    clock.start();
    while (list.Pending() > 0 && clock.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

}  // namespace

TEST(PictureListFile, WritesTheExactLineAndReadsBackWhatStillExists) {
    PictureFolder folder;
    const std::string first = folder.Solid("照片 1.jpg", Qt::red);
    const std::string second = folder.Solid("b.png", Qt::green);
    const std::string gone = folder.Path("gone.bmp").string();
    const auto file = folder.Path("PicPath.lst");
    ASSERT_TRUE(SavePictureList(file, {first, gone, second}));
    EXPECT_EQ(ReadAll(file),
              "{\"list\":[\"" + first + "\",\"" + gone + "\",\"" + second + "\"],\"num\":3}\n");
    EXPECT_EQ(LoadPictureList(file), (std::vector<std::string>{first, second}));

    ASSERT_TRUE(SavePictureList(file, {}));
    EXPECT_EQ(ReadAll(file), "{\"list\":[],\"num\":0}\n");
    EXPECT_TRUE(LoadPictureList(file).empty());
}

TEST(PictureListFile, TheCountIsBoundedByTheEntriesPresent) {
    PictureFolder folder;
    const std::string a = folder.Solid("a.png", Qt::red);
    const std::string b = folder.Solid("b.png", Qt::blue);
    const auto file = folder.Path("PicPath.lst");
    const auto load = [&](const std::string& line) {
        std::ofstream(file, std::ios::binary) << line << "\n";
        return LoadPictureList(file);
    };
    const std::string list = "[\"" + a + "\",17,\"" + b + "\"]";
    EXPECT_EQ(load("{\"list\":" + list + ",\"num\":1}"), std::vector<std::string>{a});
    EXPECT_EQ(load("{\"list\":" + list + ",\"num\":3}"), (std::vector<std::string>{a, b}));
    EXPECT_EQ(load("{\"list\":" + list + ",\"num\":2147483647}"), (std::vector<std::string>{a, b}));
    EXPECT_EQ(load("{\"list\":" + list + ",\"num\":1e300}"), (std::vector<std::string>{a, b}));
    EXPECT_TRUE(load("{\"list\":" + list + ",\"num\":0}").empty());
    EXPECT_TRUE(load("{\"list\":" + list + ",\"num\":-4}").empty());
    EXPECT_TRUE(load("{\"list\":\"" + a + "\",\"num\":1}").empty());
    EXPECT_TRUE(load("not json").empty());
}

// A list the reader could not take whole (or whose rewrite would lose something) is kept beside
// at once; past 1 MB (about 4,400 pictures) the list still reads, and writing never goes past
// what it reads.
TEST(PictureListFile, WhatWasNotTakenWholeIsKeptAndWritingStaysWithinTheReader) {
    PictureFolder folder;
    const std::string a = folder.Solid("a.png", Qt::red);
    const auto file = folder.Path("PicPath.lst");
    const std::string entry = "\"" + a + "\"";
    int number = 0;
    for (const std::string& line :
         {"{\"list\":[" + entry + "," + entry + "],\"num\":1}\n",
          "{\"list\":[" + entry + ",17],\"num\":2}\n", "{\"list\":[" + entry + "],\"num\":-1}\n",
          "{\"list\":[" + entry + "],\"num\":1e308}\n", "{\"list\":[" + entry + "],\"n",
          "{\"list\":[" + entry + ",\"" + a + "\\u0000.png\"],\"num\":2}\n",
          "{\"list\":[" + entry + "],\"num\":1,\"shown\":0}\n",
          "{\"list\":[" + entry + "],\"num\":1}\n{}\n"}) {
        const std::filesystem::path kept =
            file.string() + kUnreadableSuffix + "." + std::to_string(++number);
        std::ofstream(file, std::ios::binary) << line;
        const std::vector<std::string> paths = LoadPictureList(file);
        EXPECT_EQ(ReadAll(kept), line);
        ASSERT_TRUE(SavePictureList(file, paths));
        ASSERT_TRUE(SavePictureList(file, paths));
        EXPECT_EQ(ReadAll(kept), line);
    }
    const std::filesystem::path kept =
        file.string() + kUnreadableSuffix + "." + std::to_string(number + 1);
    const std::filesystem::path deep = folder.Path(std::string(230, 'd'));
    std::filesystem::create_directory(deep);
    std::filesystem::copy_file(a, deep / "a.png");
    const std::string far = (deep / "a.png").string();
    const std::vector<std::string> many(5000, far);
    ASSERT_TRUE(SavePictureList(file, many));
    EXPECT_GT(std::filesystem::file_size(file), 1u << 20);
    EXPECT_EQ(LoadPictureList(file).size(), many.size());
    ASSERT_TRUE(SavePictureList(file, many));
    EXPECT_FALSE(std::filesystem::exists(kept)) << "a list read whole is replaced without a copy";

    ASSERT_TRUE(SavePictureList(file, many, 1000));
    EXPECT_LE(std::filesystem::file_size(file), 1000u);
    const std::vector<std::string> cut = LoadPictureList(file);
    EXPECT_GT(std::filesystem::file_size(file) + far.size() + 3, 1000u) << "as many as fit";
    EXPECT_EQ(cut, std::vector<std::string>(cut.size(), far));
    EXPECT_FALSE(cut.empty());
}

TEST(PictureFile, UntrustedFilesGiveNoPicture) {
    PictureFolder folder;
    const std::string hostile[] = {
        folder.Bytes("empty.jpg", ""),
        folder.Bytes("noise.jpg", std::string("\xFF\xD8\xFF\xE0 this is no picture at all", 30)),
        folder.Bytes("text.png", "PNG? no."),
        folder.Directory("folder.jpg"),
        folder.Fifo("pipe.png"),
        ClaimingJpeg(folder, 10001, 10000),
        folder.Path("missing.jpg").string(),
    };
    std::vector<uint8_t> frame(kFrameBytes, 7);
    for (const std::string& path : hostile) {
        EXPECT_TRUE(MakeThumbnail(path).isNull()) << path;
        EXPECT_FALSE(RenderSlide(path, frame.data())) << path;
    }
    EXPECT_EQ(frame, std::vector<uint8_t>(kFrameBytes, 7));
    // Just under the limit the same patched file is taken (its missing rows stay grey).
    EXPECT_FALSE(MakeThumbnail(ClaimingJpeg(folder, 10000, 10000)).isNull());
}

TEST(PictureFile, ThumbnailsStretchTheWholePictureOverGrey) {
    PictureFolder folder;
    // 1600 x 400, red above green: decoded at a reduced scale, stretched to 85 x 85.
    const std::string wide = folder.Solid("wide.JPG", Qt::red, QSize(1600, 400), Qt::green);
    const QImage thumbnail = MakeThumbnail(wide);
    ASSERT_EQ(thumbnail.size(), QSize(85, 85));
    EXPECT_TRUE(Near(thumbnail.pixelColor(2, 2), Qt::red));
    EXPECT_TRUE(Near(thumbnail.pixelColor(82, 30), Qt::red));
    EXPECT_TRUE(Near(thumbnail.pixelColor(2, 82), Qt::green));
    EXPECT_TRUE(Near(thumbnail.pixelColor(82, 60), Qt::green));

    QImage clear(40, 40, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    const std::string path = folder.Path("clear.png").string();
    ASSERT_TRUE(clear.save(QString::fromStdString(path)));
    EXPECT_EQ(MakeThumbnail(path).pixelColor(40, 40), QColor(128, 128, 128));
}

namespace {

// A red 1600 x 1200 photo carrying a blue preview of `previewSize`, so a thumbnail shows which
// of the two was decoded.
std::string PhotoWithPreview(const PictureFolder& folder, QSize previewSize,
                             bool bigEndian = false) {
    const std::string photo = ReadAll(folder.Solid("photo.jpg", Qt::red, QSize(1600, 1200)));
    const std::string preview = ReadAll(folder.Solid("preview.jpg", Qt::blue, previewSize));
    return WithExifPreview(photo, preview, bigEndian);
}

}  // namespace

TEST(PictureFile, ThumbnailsComeFromTheCameraPreviewOnlyWhenItIsBigEnough) {
    PictureFolder folder;
    for (const bool bigEndian : {false, true}) {
        const std::string path =
            folder.Bytes("camera.jpg", PhotoWithPreview(folder, QSize(160, 120), bigEndian));
        const QImage thumbnail = MakeThumbnail(path);
        ASSERT_EQ(thumbnail.size(), QSize(85, 85));
        EXPECT_TRUE(Near(thumbnail.pixelColor(2, 2), Qt::blue)) << bigEndian;
        EXPECT_TRUE(Near(thumbnail.pixelColor(82, 82), Qt::blue)) << bigEndian;
        // The slideshow needs 640 x 480: the photo itself.
        std::vector<uint8_t> frame(kFrameBytes);
        ASSERT_TRUE(RenderSlide(path, frame.data()));
        EXPECT_TRUE(Near(FramePixel(frame, 320, 240), Qt::red));
    }
    // Too small for 85 x 85, and letterboxed to another shape: the photo is decoded instead.
    for (const QSize size : {QSize(64, 48), QSize(160, 90)}) {
        const std::string path = folder.Bytes("camera.jpg", PhotoWithPreview(folder, size));
        EXPECT_TRUE(Near(MakeThumbnail(path).pixelColor(42, 42), Qt::red)) << size.width();
    }
}

TEST(PictureFile, PhotosAreTurnedTheWayTheCameraWasHeld) {
    PictureFolder folder;
    // Stored 1600 x 1200, green with its top-left quarter red (blue in the preview).
    const auto marked = [&](const std::string& name, QSize size, QColor corner) {
        QImage image(size, QImage::Format_RGB888);
        image.fill(Qt::green);
        QPainter(&image).fillRect(0, 0, size.width() / 2, size.height() / 2, corner);
        image.save(folder.Path(name).c_str(), nullptr, 95);
        return ReadAll(folder.Path(name));
    };
    const std::string photo = marked("photo.jpg", QSize(1600, 1200), Qt::red);
    const std::string preview = marked("preview.jpg", QSize(160, 120), Qt::blue);
    // Where the stored top-left quarter is seen for orientations 1 to 8, as (right, bottom).
    const std::array<std::pair<bool, bool>, 8> seenAt = {{{false, false},
                                                          {true, false},
                                                          {true, true},
                                                          {false, true},
                                                          {false, false},
                                                          {true, false},
                                                          {true, true},
                                                          {false, true}}};
    for (uint16_t orientation = 1; orientation <= 8; ++orientation) {
        const auto [right, bottom] = seenAt[orientation - 1];
        const int x = right ? 80 : 4, y = bottom ? 80 : 4;
        const std::string noPreview = folder.Bytes(
            "turned.jpg", WithExifPreview(photo, std::string(), orientation % 2 == 0, orientation));
        const QImage picture = DecodePicture(noPreview, QSize(85, 85), Qt::black);
        ASSERT_FALSE(picture.isNull()) << orientation;
        EXPECT_EQ(picture.format(), QImage::Format_BGR888);
        EXPECT_EQ(picture.width() < picture.height(), orientation >= 5) << orientation;
        const QImage thumbnail = MakeThumbnail(noPreview);
        EXPECT_TRUE(Near(thumbnail.pixelColor(x, y), Qt::red)) << orientation;
        EXPECT_TRUE(Near(thumbnail.pixelColor(84 - x, 84 - y), Qt::green)) << orientation;
        // The preview is stored the same way and is turned alike.
        const std::string withPreview =
            folder.Bytes("turned.jpg", WithExifPreview(photo, preview, false, orientation));
        EXPECT_TRUE(Near(MakeThumbnail(withPreview).pixelColor(x, y), Qt::blue)) << orientation;
    }
    // On its side the slideshow shows a 360 x 480 picture between black bars.
    const std::string sideways =
        folder.Bytes("turned.jpg", WithExifPreview(photo, preview, false, 6));
    std::vector<uint8_t> frame(kFrameBytes);
    ASSERT_TRUE(RenderSlide(sideways, frame.data()));
    EXPECT_TRUE(Near(FramePixel(frame, 100, 240), Qt::black));
    EXPECT_TRUE(Near(FramePixel(frame, 490, 10), Qt::red));
    EXPECT_TRUE(Near(FramePixel(frame, 150, 470), Qt::green));
    EXPECT_TRUE(Near(FramePixel(frame, 540, 240), Qt::black));
}

TEST(PictureFile, AFlawedPreviewFallsBackToThePhoto) {
    PictureFolder folder;
    const std::string preview = ReadAll(folder.Solid("preview.jpg", Qt::blue, QSize(160, 120)));
    const std::string photo = ReadAll(folder.Solid("photo.jpg", Qt::red, QSize(1600, 1200)));
    const auto thumbnailOf = [&](const std::string& bytes) {
        return MakeThumbnail(folder.Bytes("camera.jpg", bytes)).pixelColor(42, 42);
    };
    // Cut short, not a JPEG at all, and stored past the end of its segment.
    EXPECT_TRUE(
        Near(thumbnailOf(WithExifPreview(photo, preview.substr(0, preview.size() / 2))), Qt::red));
    EXPECT_TRUE(Near(thumbnailOf(WithExifPreview(photo, "\xFF\xD8 no picture")), Qt::red));
    std::string pastTheEnd = WithExifPreview(photo, preview);
    pastTheEnd[kExifPreviewLengthAt + 3] = 0x7F;  // the preview's length, high byte
    EXPECT_TRUE(Near(thumbnailOf(pastTheEnd), Qt::red));
    // One byte longer than what is left of the segment.
    std::string oneByteOver = WithExifPreview(photo, preview);
    const auto over = static_cast<uint32_t>(preview.size() + 1);
    for (int i = 0; i < 4; ++i) {
        oneByteOver[kExifPreviewLengthAt + i] = static_cast<char>(over >> (8 * i) & 0xFF);
    }
    EXPECT_TRUE(Near(thumbnailOf(oneByteOver), Qt::red));

    // Any byte of the segment header and directories damaged: the preview or the photo, never
    // anything else, and never a read outside the file.
    const std::string intact = WithExifPreview(photo, preview);
    int previews = 0, photos = 0;
    for (size_t at = 2; at < kExifTiffStart + kExifDirectoryBytes; ++at) {
        for (const uint8_t value :
             {uint8_t{0x00}, uint8_t{0xFF}, static_cast<uint8_t>(intact[at] ^ 0x80)}) {
            std::string damaged = intact;
            damaged[at] = static_cast<char>(value);
            const std::string path = folder.Bytes("damaged.jpg", damaged);
            const QImage thumbnail = MakeThumbnail(path);
            if (thumbnail.isNull()) {
                continue;
            }
            const QColor seen = thumbnail.pixelColor(42, 42);
            EXPECT_TRUE(Near(seen, Qt::blue) || Near(seen, Qt::red)) << at << " " << int(value);
            (Near(seen, Qt::blue) ? previews : photos) += 1;
        }
    }
    EXPECT_GT(previews, 0);
    EXPECT_GT(photos, 0);
}

TEST(ThumbnailList, AddsAtOnceAndDropsWhatCannotBeDecoded) {
    PictureFolder folder;
    ThumbnailList list;
    std::vector<bool> settled;
    QObject::connect(&list, &ThumbnailList::Settled,
                     [&](bool dropped) { settled.push_back(dropped); });
    const std::string red = folder.Solid("red.bmp", Qt::red);
    const std::string blue = folder.Solid("blue.jpeg", Qt::blue);
    list.Add(red);
    list.Add(folder.Bytes("empty.jpg", ""));
    list.Add(folder.Fifo("pipe.jpg"));
    list.Add(blue);
    list.Add(ClaimingJpeg(folder, 20000, 10000));
    EXPECT_EQ(list.Count(), 5);
    SpinUntilSettled(list);
    EXPECT_EQ(list.Paths(), (std::vector<std::string>{red, blue}));
    EXPECT_TRUE(Near(list.Thumbnail(0).pixelColor(40, 40), Qt::red));
    EXPECT_TRUE(Near(list.Thumbnail(1).pixelColor(40, 40), Qt::blue));
    EXPECT_EQ(settled, std::vector<bool>{true});

    list.SetSelection(2);
    EXPECT_EQ(list.SelectedIndex(), 1);
    list.Remove(0);
    // The same number now points at the picture after it: here, none.
    EXPECT_EQ(list.Selection(), 2);
    EXPECT_EQ(list.SelectedIndex(), -1);
    list.RemoveAll();
    EXPECT_EQ(list.Count(), 0);
}

TEST(Slideshow, StartsAtTheSelectionWrapsSkipsVanishedFilesAndStopsWhenEmpty) {
    PictureFolder folder;
    ScopedFrameName name;
    SharedFrame output(name.Name());
    SharedFrameReader reader(name.Name());
    std::vector<uint8_t> frame(kFrameBytes);
    const auto shown = [&] {
        EXPECT_TRUE(reader.CopyFrame(frame.data()));
        return FramePixel(frame, 320, 240);
    };
    const std::vector<std::string> paths = {folder.Solid("1.png", Qt::red),
                                            folder.Path("vanished.png").string(),
                                            folder.Solid("3.jpg", Qt::blue)};
    Slideshow show;
    using Step = Slideshow::Step;
    show.Start(3, 3);
    EXPECT_EQ(show.ShowNext(paths, output), Step::kShown);
    EXPECT_TRUE(Near(shown(), Qt::blue));
    EXPECT_EQ(show.ShowNext(paths, output), Step::kShown);  // wrapped to the first
    EXPECT_TRUE(Near(shown(), Qt::red));
    EXPECT_EQ(show.ShowNext(paths, output), Step::kSkipped);
    EXPECT_TRUE(Near(shown(), Qt::red));
    EXPECT_EQ(show.ShowNext(paths, output), Step::kShown);
    EXPECT_TRUE(Near(shown(), Qt::blue));

    // A selection beyond the count starts at the first; one picture repeats.
    show.Start(7, 1);
    const std::vector<std::string> one = {paths[2]};
    EXPECT_EQ(show.ShowNext(one, output), Step::kShown);
    EXPECT_EQ(show.ShowNext(one, output), Step::kShown);
    EXPECT_EQ(show.ShowNext({}, output), Step::kEmpty);
}

TEST(Slideshow, FramesAreFittedUprightAndStoredBottomRowFirst) {
    PictureFolder folder;
    // 400 x 100, red above green: fitted to 640 x 160 between black bands of 160 rows.
    const std::string path = folder.Solid("band.png", Qt::red, QSize(400, 100), Qt::green);
    std::vector<uint8_t> frame(kFrameBytes);
    ASSERT_TRUE(RenderSlide(path, frame.data()));
    EXPECT_EQ(FramePixel(frame, 320, 100), QColor(0, 0, 0));
    EXPECT_EQ(FramePixel(frame, 320, 380), QColor(0, 0, 0));
    EXPECT_TRUE(Near(FramePixel(frame, 5, 170), Qt::red));
    EXPECT_TRUE(Near(FramePixel(frame, 635, 310), Qt::green));
    // The first stored row is the bottom of the picture.
    EXPECT_EQ(frame[0], 0);
}

TEST(ThumbnailGrid, DrawingHitTestingAndScrollingAgree) {
    for (const int width : {50, 120, 170, 200, 255, 300, 345, 355, 378, 500}) {
        SCOPED_TRACE(width);
        const ThumbnailGrid grid(width);
        ASSERT_GE(grid.Columns(), 1);
        for (int i = 0; i < 3 * grid.Columns(); ++i) {
            const int x = grid.CellX(i), y = grid.CellY(i, 0);
            // A click on any corner of a drawn cell selects it, scrolled or not.
            if (x + ThumbnailGrid::kCell <= width - ThumbnailGrid::kMargin) {
                EXPECT_EQ(grid.HitTest(x, y, 0), i + 1);
                EXPECT_EQ(grid.HitTest(x + 84, y + 84, 0), i + 1);
                EXPECT_EQ(grid.HitTest(x + 42, grid.CellY(i, 95) + 40, 95), i + 1);
            }
        }
        if (grid.Columns() > 1) {
            EXPECT_LE(grid.CellX(grid.Columns() - 1) + ThumbnailGrid::kCell, width);
        }
    }
    const ThumbnailGrid grid(378);
    EXPECT_EQ(grid.Columns(), 4);
    EXPECT_EQ(grid.Step(), 91);
    EXPECT_EQ(grid.HitTest(5, 50, 0), -1);            // left margin
    EXPECT_EQ(grid.HitTest(10 + 88, 50, 0), -1);      // gap between columns
    EXPECT_EQ(grid.HitTest(50, 10 + 90, 0), -1);      // gap between rows
    EXPECT_EQ(grid.HitTest(50, 5, 0), -1);            // top margin
    EXPECT_EQ(grid.HitTest(50, 10 + 95 * 7, 0), 29);  // an empty cell below the pictures
    // With 45 pictures the last row comes fully into view, and no further.
    const int height = 405, count = 45;
    const int maximum = grid.ScrollMaximum(count, height);
    EXPECT_EQ(grid.CellY(count - 1, maximum) + ThumbnailGrid::kCell + ThumbnailGrid::kMargin,
              height);
    EXPECT_EQ(grid.ScrollMaximum(8, height), 0);
}
