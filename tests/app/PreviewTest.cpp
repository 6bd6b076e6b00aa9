// The picture preview: JPEG and bitmap decoding, the drawing rule of Image1,
// and the format-choice dialog.
#include "app/ImagePreview.h"
#include "app/JpegImage.h"
#include "app/TF_Select.h"
#include "formstream/Exceptions.h"
#include "support/Files.h"
#include "support/Jpeg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QPushButton>
#include <QRadioButton>
#include <QKeyEvent>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace kep {
namespace {

// Writes a JPEG with libjpeg: components per pixel, their colour space and
// the colour space stored in the file.
std::vector<uint8_t> EncodeJpeg(int width, int height, int components, J_COLOR_SPACE input,
                                J_COLOR_SPACE stored, std::vector<uint8_t> pixel, bool noisy = false) {
    const size_t size = static_cast<size_t>(width * components);
    return test::EncodeJpeg(width, height, components, input, stored, 95, [&](int y, uint8_t* row) {
        for (size_t i = 0; i < size; ++i)
            row[i] = noisy ? static_cast<uint8_t>(i * 7 + static_cast<size_t>(y) * 13 + (i * i) % 31)
                           : pixel[i % static_cast<size_t>(components)];
    });
}

class TempFolder {
public:
    TempFolder() {
        path_ = test::MakeTempFolder("kep-preview").string();
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    std::string File(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::string path = path_ + "/" + name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path;
    }

private:
    std::string path_;
};

void PressKey(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

void ExpectNear(QColor actual, int r, int g, int b) {
    EXPECT_NEAR(actual.red(), r, 6);
    EXPECT_NEAR(actual.green(), g, 6);
    EXPECT_NEAR(actual.blue(), b, 6);
}

struct ColourCase {
    const char* name;
    int components;
    J_COLOR_SPACE input, stored;
    std::vector<uint8_t> pixel;
    int r, g, b;
};

TEST(JpegImage, DecodesEveryColourSpaceToRgb) {
    // CMYK files carry the Adobe marker and so hold inverted values: 255 is no ink.
    const ColourCase cases[] = {
        {"rgb", 3, JCS_RGB, JCS_YCbCr, {200, 30, 60}, 200, 30, 60},
        {"grey", 1, JCS_GRAYSCALE, JCS_GRAYSCALE, {90}, 90, 90, 90},
        {"cmyk", 4, JCS_CMYK, JCS_CMYK, {255, 0, 0, 255}, 255, 0, 0},
        {"ycck", 4, JCS_CMYK, JCS_YCCK, {0, 255, 255, 255}, 0, 255, 255},
        {"cmyk with black ink", 4, JCS_CMYK, JCS_CMYK, {255, 255, 255, 127}, 127, 127, 127},
    };
    for (const ColourCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bytes = EncodeJpeg(33, 17, c.components, c.input, c.stored, c.pixel);
        std::vector<std::string> warnings;
        QImage image = DecodeJpeg(bytes.data(), bytes.size(), &warnings);
        ASSERT_EQ(image.size(), QSize(33, 17));
        EXPECT_TRUE(warnings.empty());
        ExpectNear(image.pixelColor(0, 0), c.r, c.g, c.b);
        ExpectNear(image.pixelColor(32, 16), c.r, c.g, c.b);
    }
}

TEST(JpegImage, RefusalsCarryLibjpegsMessage) {
    std::vector<uint8_t> good = EncodeJpeg(16, 16, 3, JCS_RGB, JCS_YCbCr, {1, 2, 3});
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* message;
    } cases[] = {
        {"empty", {}, "Empty input file"},
        {"bitmap", {'B', 'M', 0, 0, 0, 0}, "Not a JPEG file: starts with 0x42 0x4d"},
        {"start marker only", std::vector<uint8_t>(good.begin(), good.begin() + 2),
         "JPEG datastream contains no image"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            DecodeJpeg(c.bytes.data(), c.bytes.size());
            ADD_FAILURE() << "no error";
        } catch (const EJpegError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

TEST(JpegImage, TruncatedScanDecodesWithAWarning) {
    std::vector<uint8_t> bytes = EncodeJpeg(256, 256, 3, JCS_RGB, JCS_YCbCr, {0, 0, 0}, true);
    bytes.resize(bytes.size() * 4 / 5);
    std::vector<std::string> warnings;
    QImage image = DecodeJpeg(bytes.data(), bytes.size(), &warnings);
    EXPECT_EQ(image.size(), QSize(256, 256));
    ASSERT_FALSE(warnings.empty());
    EXPECT_EQ(warnings.front(), "Premature end of JPEG file");
}

TEST(JpegImage, PictureFilesAreChosenByExtension) {
    TempFolder folder;
    std::vector<uint8_t> jpeg = EncodeJpeg(20, 10, 3, JCS_RGB, JCS_YCbCr, {0, 0, 250});
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    QImage small(7, 5, QImage::Format_RGB32);
    small.fill(QColor(10, 20, 30));
    ASSERT_TRUE(small.save(&buffer, "BMP"));
    std::vector<uint8_t> bmpBytes(bmp.begin(), bmp.end());

    EXPECT_EQ(LoadPictureFile(folder.File("a.jpg", jpeg)).size(), QSize(20, 10));
    EXPECT_EQ(LoadPictureFile(folder.File("b.JPG", jpeg)).size(), QSize(20, 10));
    QImage picture = LoadPictureFile(folder.File("c.bmp", bmpBytes));
    EXPECT_EQ(picture.size(), QSize(7, 5));
    EXPECT_EQ(picture.pixelColor(6, 4), QColor(10, 20, 30));

    const struct {
        std::string name;
        std::vector<uint8_t> bytes;
        std::string message;
    } refused[] = {
        {"d.png", bmpBytes, "Unknown picture file extension (.png)"},
        {"e.jpeg", jpeg, "Unknown picture file extension (.jpeg)"},
        {"noext", jpeg, "Unknown picture file extension (.)"},
        {"f.bmp", jpeg, "Cannot decode the bitmap file \"{}/f.bmp\""},
        {"g.jpg", bmpBytes, "Not a JPEG file: starts with 0x42 0x4d"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.name);
        std::string path = folder.File(r.name, r.bytes);
        std::string expected = r.message;
        if (auto at = expected.find("{}"); at != std::string::npos)
            expected.replace(at, 2, path.substr(0, path.rfind('/')));
        try {
            LoadPictureFile(path);
            ADD_FAILURE() << "no error";
        } catch (const EPictureError& e) {
            EXPECT_EQ(e.what(), expected);
        }
    }
    EXPECT_THROW(LoadPictureFile(folder.File("h.jpg", jpeg) + ".missing.jpg"), EFOpenError);
}

struct TargetCase {
    int w, h;
    bool stretch, proportional;
    int tw, th;
};

TEST(ImagePreview, TargetRectFollowsTheStretchAndProportionalSettings) {
    ImagePreview view;
    view.resize(497, 372);
    const TargetCase cases[] = {
        {720, 576, true, true, 465, 372},    // wide: fitted by height after the width gave 397
        {720, 576, false, false, 720, 576},  // own size, clipped by the view
        {720, 576, false, true, 465, 372},   // larger than the area: shrunk
        {720, 576, true, false, 497, 372},   // stretched exactly
        {320, 240, false, true, 320, 240},   // smaller: own size
        {320, 240, false, false, 320, 240},
        {300, 800, false, true, 139, 372},   // tall: 372 * 0.375
        {1000, 100, true, true, 497, 49},    // very wide: 497 / 10
        {400, 400, true, true, 372, 372},    // square counts as tall
        {600, 500, true, true, 446, 372},    // 497 / 1.2 = 414 > 372; 372 * 1.2 = 446.4
        {496, 100, true, true, 497, 100},    // 497 / 4.96 = 100.2
        {5000, 1, true, true, 497, 0},       // nothing left to draw
    };
    for (const TargetCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " stretch " << c.stretch << " prop "
                                        << c.proportional);
        view.Stretch = c.stretch;
        view.Proportional = c.proportional;
        EXPECT_EQ(view.TargetRect(c.w, c.h), QRect(0, 0, c.tw, c.th));
    }
}

TEST(ImagePreview, DrawsFromTheTopLeftCornerAndClips) {
    ImagePreview view;
    view.resize(497, 372);
    view.Stretch = false;
    view.Proportional = false;
    QImage picture(720, 100, QImage::Format_RGB32);
    picture.fill(Qt::red);
    for (int y = 0; y < 100; ++y)
        for (int x = 690; x < 720; ++x) picture.setPixelColor(x, y, Qt::blue);
    view.SetPicture(picture);

    QImage shot(view.size(), QImage::Format_RGB32);
    shot.fill(Qt::white);
    view.render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(496, 99), QColor(Qt::red)); // the blue band is cut off
    EXPECT_EQ(shot.pixelColor(0, 100), QColor(Qt::white)); // not centred

    view.Proportional = true;
    view.Stretch = true;
    shot.fill(Qt::white);
    view.render(&shot, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(shot.pixelColor(494, 30), QColor(Qt::blue)); // the blue band now fits
    EXPECT_EQ(shot.pixelColor(10, 69), QColor(Qt::white)); // 497 x 69
}

TEST(TF_Select, ResultsOfTheChoices) {
    TF_Select dialog;
    dialog.RadioButton2->setChecked(true);
    dialog.FormActivate();
    EXPECT_TRUE(dialog.RadioButton1->isChecked()); // the template format is proposed again

    dialog.OKButtonClick();
    EXPECT_EQ(dialog.result(), kFormatTemplate);
    dialog.RadioButton2->setChecked(true);
    dialog.OKButtonClick();
    EXPECT_EQ(dialog.result(), kFormatText);
    dialog.Button1Click();
    EXPECT_EQ(dialog.result(), kFormatCancelled);
    dialog.setResult(0);
    dialog.reject();
    EXPECT_EQ(dialog.result(), kFormatCancelled);
}

TEST(TF_Select, ModalRoundTrips) {
    TF_Select dialog;
    EXPECT_EQ(dialog.windowTitle(), "Select file format...");
    // Esc does nothing; the text format, then CONTINUE.
    QTimer::singleShot(0, &dialog, [&] {
        PressKey(&dialog, Qt::Key_Escape);
        EXPECT_TRUE(dialog.isVisible());
        dialog.RadioButton2->click();
        dialog.OKButton->click();
    });
    EXPECT_EQ(dialog.ShowModal(), kFormatText);
    // Shown again, the template format is proposed; Enter takes it.
    QTimer::singleShot(0, &dialog, [&] {
        EXPECT_TRUE(dialog.RadioButton1->isChecked());
        PressKey(dialog.focusWidget() ? dialog.focusWidget() : &dialog, Qt::Key_Return);
    });
    EXPECT_EQ(dialog.ShowModal(), kFormatTemplate);
    QTimer::singleShot(0, &dialog, [&] { dialog.close(); });
    EXPECT_EQ(dialog.ShowModal(), kFormatCancelled);
}

} // namespace
} // namespace kep
