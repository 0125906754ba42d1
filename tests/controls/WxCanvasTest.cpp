#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include <wx/app.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/mstream.h>
#include <wx/panel.h>

#include "controls/CentsMeter.h"
#include "controls/CycleOfFifthsControl.h"
#include "controls/Pictures.h"
#include "controls/ReadoutPanel.h"
#include "gui/WxCanvas.h"
#include "gui/WxPictures.h"
#include "tuning/Temperament.h"

namespace {

// One wx application for the whole program; the tests need a display.
class WxEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "controls_wx_test";
        static char* argv[] = {name, nullptr};
        wxApp::SetInstance(new wxApp);
        m_bReady = wxEntryStart(argc, argv) && wxTheApp->CallOnInit();
        wxInitAllImageHandlers();
    }
    void TearDown() override {
        if (m_bReady) {
            wxTheApp->OnExit();
        }
        wxEntryCleanup();
    }
    static bool m_bReady;
};
bool WxEnvironment::m_bReady = false;

const ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new WxEnvironment);

class WxCanvasTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WxEnvironment::m_bReady) << "no display";
        m_pFrame = new wxFrame(nullptr, wxID_ANY, "test", wxDefaultPosition, wxSize(800, 400));
        // A frame stretches a sole child over its client area; the panel
        // takes that, the drawn window keeps its own size.
        wxPanel* pPanel = new wxPanel(m_pFrame);
        m_pWindow = new wxWindow(pPanel, wxID_ANY, wxPoint(0, 0), wxSize(250, 40));
        m_pWindow->SetBackgroundColour(*wxWHITE);
        m_pFrame->Show();
    }
    void TearDown() override {
        if (m_pFrame != nullptr) {
            m_pFrame->Destroy();
            wxTheApp->ProcessIdle();
        }
    }

    wxFrame* m_pFrame = nullptr;
    wxWindow* m_pWindow = nullptr;
};

wxColour At(const wxImage& image, int x, int y) {
    return wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y));
}

}  // namespace

TEST_F(WxCanvasTest, FillsLandOnTheirPixelsAndSurviveInTheBackingStore) {
    CWxCanvas canvas(m_pWindow);
    EXPECT_TRUE(canvas.IsWindow());
    EXPECT_EQ(canvas.GetClientRect(), (Rect{0, 0, 250, 40}));
    canvas.FillRect(Rect{10, 5, 20, 15}, MakeColour(28, 240, 171));
    const wxImage image = canvas.GetBackingStore().ConvertToImage();
    EXPECT_EQ(At(image, 10, 5), wxColour(28, 240, 171));
    EXPECT_EQ(At(image, 19, 14), wxColour(28, 240, 171));
    // Right and bottom edges stay outside, as for every rectangle here.
    EXPECT_EQ(At(image, 20, 10), *wxWHITE);
    EXPECT_EQ(At(image, 15, 15), *wxWHITE);
    EXPECT_EQ(At(image, 9, 10), *wxWHITE);
}

TEST_F(WxCanvasTest, PanelTextFillsThePanelFromTheTopInItsColour) {
    CWxCanvas canvas(m_pWindow);
    CReadoutPanel panel;
    panel.Setup(&canvas, MakeColour(0, 0, 0), MakeColour(255, 255, 255), "Arial");
    panel.SetText("440.00 Hertz ");
    const wxImage image = canvas.GetBackingStore().ConvertToImage();
    std::filesystem::create_directories(KLAVORA_PICTURE_DIR);
    image.SaveFile(KLAVORA_PICTURE_DIR "/panel_text.png", wxBITMAP_TYPE_PNG);
    // The one-pixel edge is left alone; inside, the ink is white on black and
    // spans most of the panel's height, centred across it.
    EXPECT_EQ(At(image, 0, 0), *wxWHITE);
    int nTop = 40, nBottom = -1, nLeft = 250, nRight = -1;
    for (int y = 1; y < 39; ++y) {
        for (int x = 1; x < 249; ++x) {
            if (image.GetRed(x, y) > 128) {
                nTop = std::min(nTop, y);
                nBottom = std::max(nBottom, y);
                nLeft = std::min(nLeft, x);
                nRight = std::max(nRight, x);
            }
        }
    }
    ASSERT_GE(nBottom, 0) << "no text drawn";
    EXPECT_GT(nBottom - nTop, 20);
    EXPECT_NEAR((nLeft + nRight) / 2.0, 125.0, 12.0);

    // The font's cell is the height asked for, within a pixel.
    wxMemoryDC dc;
    wxBitmap bitmap(10, 10);
    dc.SelectObject(bitmap);
    for (int h : {20, 25, 37}) {
        dc.SetFont(CWxCanvas::MakeFont(dc, FontSpec{"Arial", h, 400, FontQuality::Proof}));
        EXPECT_NEAR(dc.GetCharHeight(), h, 1) << h;
    }
}

TEST_F(WxCanvasTest, WideTextIsCutAtItsRectangleUnlessAllowedToSpill) {
    CWxCanvas canvas(m_pWindow);
    canvas.FillRect(Rect{0, 0, 250, 40}, MakeColour(0, 0, 0));
    const FontSpec font{"Arial", 20, 400, FontQuality::Proof};
    const Colour white = MakeColour(255, 255, 255), black = MakeColour(0, 0, 0);
    canvas.DrawText("-5.865", Rect{40, 0, 80, 20}, font, white, black, kTextCenter | kTextVCenter);
    canvas.DrawText("-5.865", Rect{160, 0, 200, 20}, font, white, black,
                    kTextCenter | kTextVCenter | kTextNoClip);
    const wxImage image = canvas.GetBackingStore().ConvertToImage();
    auto InkIn = [&](int x0, int x1) {
        for (int y = 0; y < 40; ++y) {
            for (int x = x0; x < x1; ++x) {
                if (image.GetRed(x, y) > 128) {
                    return true;
                }
            }
        }
        return false;
    };
    EXPECT_TRUE(InkIn(40, 80));
    EXPECT_FALSE(InkIn(0, 40));
    EXPECT_FALSE(InkIn(80, 140));
    // The minus sign stands left of the cell.
    EXPECT_TRUE(InkIn(140, 160));
    EXPECT_FALSE(InkIn(220, 250));
}

TEST_F(WxCanvasTest, SpillingTextStaysInsideTheWindow) {
    CWxCanvas canvas(m_pWindow);
    const Colour white = MakeColour(255, 255, 255), black = MakeColour(0, 0, 0);
    const FontSpec font{"Arial", 20, 400, FontQuality::Proof};
    auto Ink = [&](int x0, int x1) {
        const wxImage image = canvas.GetBackingStore().ConvertToImage();
        int count = 0;
        for (int y = 0; y < 40; ++y) {
            for (int x = x0; x < x1; ++x) {
                count += image.GetRed(x, y) > 128;
            }
        }
        return count;
    };
    // The same text in the middle, then in cells at both edges of the window.
    canvas.FillRect(Rect{0, 0, 250, 40}, black);
    canvas.DrawText("-7.33333", Rect{105, 0, 145, 20}, font, white, black,
                    kTextCenter | kTextVCenter | kTextNoClip);
    const int whole = Ink(0, 250);
    ASSERT_GT(whole, 0);
    for (const Rect& cell : {Rect{0, 0, 40, 20}, Rect{210, 0, 250, 20}}) {
        canvas.FillRect(Rect{0, 0, 250, 40}, black);
        canvas.DrawText("-7.33333", cell, font, white, black,
                        kTextCenter | kTextVCenter | kTextNoClip);
        EXPECT_EQ(Ink(0, 250), whole) << cell.left;
    }
}

TEST_F(WxCanvasTest, DrawingStopsWhenTheWindowIsDestroyed) {
    CWxCanvas canvas(m_pWindow);
    m_pWindow->Destroy();
    EXPECT_FALSE(canvas.IsWindow());
    EXPECT_TRUE(canvas.GetClientRect().IsEmpty());
    canvas.FillRect(Rect{0, 0, 10, 10}, MakeColour(1, 2, 3));  // ignored, no crash
    CCentsMeter meter;
    meter.SetWindow(&canvas);
    meter.SetCents(5.0);
}

TEST_F(WxCanvasTest, BannerBackdropShowsUnderTheMeter) {
    m_pWindow->SetSize(710, 50);
    CWxCanvas canvas(m_pWindow, MakeBannerBitmap());
    CCentsMeter meter;
    meter.SetWindow(&canvas);
    meter.SetCents(5.0);
    const wxImage image = canvas.GetBackingStore().ConvertToImage();
    EXPECT_EQ(At(image, 428, 10), wxColour(28, 240, 171));
    EXPECT_EQ(At(image, 429, 10), *wxBLACK);
    // The scale under the bar comes from the picture.
    const wxImage banner = ToWxImage(DrawBannerPicture());
    EXPECT_EQ(At(image, 354, 26), At(banner, 354, 26));
}

TEST(WxPictures, PngFilesReadBackPixelForPixel) {
    ASSERT_TRUE(WxEnvironment::m_bReady) << "no display";
    for (const CRgbaImage& picture : {DrawKeyboardPicture(), DrawHandCursor().image,
                                      DrawToolbarPicture(32780), DrawProgramIcon(48)}) {
        const std::vector<std::uint8_t> png = picture.EncodePng();
        wxMemoryInputStream stream(png.data(), png.size());
        wxImage image;
        ASSERT_TRUE(image.LoadFile(stream, wxBITMAP_TYPE_PNG));
        ASSERT_EQ(image.GetWidth(), picture.Width());
        ASSERT_EQ(image.GetHeight(), picture.Height());
        for (int y = 0; y < picture.Height(); ++y) {
            for (int x = 0; x < picture.Width(); ++x) {
                const Rgba p = picture.Pixel(x, y);
                const int a = image.HasAlpha() ? image.GetAlpha(x, y) : 255;
                ASSERT_EQ(a, p.a) << "at (" << x << ", " << y << ")";
                if (p.a != 0) {
                    ASSERT_EQ(At(image, x, y), wxColour(p.r, p.g, p.b))
                        << "at (" << x << ", " << y << ")";
                }
            }
        }
    }
}

TEST(WxPictures, CursorIconsAndToolbarBitmapsAreUsable) {
    ASSERT_TRUE(WxEnvironment::m_bReady) << "no display";
    EXPECT_TRUE(MakeHandCursor().IsOk());
    const wxIconBundle icons = MakeProgramIcons();
    EXPECT_EQ(icons.GetIconCount(), 4u);
    EXPECT_TRUE(icons.GetIcon(wxSize(32, 32)).IsOk());
    for (int command : ToolbarLayout()) {
        if (command != 0) {
            EXPECT_EQ(MakeToolbarBitmap(command).GetSize(), wxSize(16, 16)) << command;
        }
    }
    EXPECT_FALSE(MakeToolbarBitmap(1).IsOk());
    EXPECT_EQ(MakeKeyboardBitmap().GetSize(), wxSize(274, 138));
}

// Lays the drawn controls out as the form does (dialog units at 6 x 13 base
// units), shows them on screen and saves what the screen shows, so the whole
// display can be looked at; the screen must show what was drawn.
TEST_F(WxCanvasTest, FormShowsWhatTheControlsDrew) {
    auto X = [](int du) { return du * 6 / 4; };
    auto Y = [](int du) { return du * 13 / 8; };
    m_pFrame->SetClientSize(X(490), Y(282));
    wxWindow* pPanel = m_pWindow->GetParent();
    pPanel->SetBackgroundColour(wxColour(212, 208, 200));
    m_pWindow->SetSize(X(7), Y(7), 710, 50);
    auto Place = [&](int x, int y, int w, int h) {
        return new wxWindow(pPanel, wxID_ANY, wxPoint(X(x), Y(y)), wxSize(X(w), Y(h)));
    };
    wxWindow* pHertz = Place(7, 41, 167, 24);
    wxWindow* pNote = Place(178, 41, 136, 24);
    wxWindow* pCents = Place(317, 41, 166, 24);
    wxWindow* pCircle = Place(269, 80, 203, 187);
    wxWindow* pKeys =
        new wxWindow(pPanel, wxID_ANY, wxPoint(X(26) + 1, Y(160) + 1), wxSize(274, 138));

    CWxCanvas banner(m_pWindow, MakeBannerBitmap());
    CWxCanvas hertz(pHertz), note(pNote), cents(pCents), circle(pCircle);
    CWxCanvas keys(pKeys, MakeKeyboardBitmap());
    CReadoutPanel panelHertz, panelNote, panelCents;
    panelHertz.Setup(&hertz, MakeColour(0, 0, 0), MakeColour(255, 255, 255), "Arial");
    panelNote.Setup(&note, MakeColour(0, 0, 0), MakeColour(200, 200, 200), "Arial");
    panelCents.Setup(&cents, MakeColour(0, 0, 0), MakeColour(255, 255, 255), "Arial");
    panelHertz.SetText("442.57 Hertz ");
    panelNote.SetText("A");
    panelCents.SetText("5.9 Cents ");
    CCentsMeter meter;
    meter.SetWindow(&banner);
    meter.SetCents(5.9);
    // A quarter-comma style temperament, rotated once so that G is red.
    CTemperament temperament(
        {-5.865, -5.865, -5.865, -5.865, -3.91, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, -2.53});
    temperament.Rotate(1);
    CCycleOfFifthsControl cycle;
    cycle.SetWindow(&circle);
    cycle.SetTemperament(&temperament);
    cycle.Paint();

    m_pFrame->Raise();
    // The window system shows the frame in its own time: look until the bar
    // is on screen, for at most ten seconds (a loaded machine is slow to map).
    const wxPoint bar = m_pWindow->GetPosition();
    const int nEnd = CCentsMeter::CentsToColumn(5.9);
    wxImage image;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        m_pFrame->Update();
        wxTheApp->Yield(true);
        const wxSize size = pPanel->GetClientSize();
        wxBitmap shot(size, 24);
        {
            wxMemoryDC dc(shot);
            wxScreenDC screen;
            const wxPoint origin = pPanel->GetScreenPosition();
            dc.Blit(0, 0, size.GetWidth(), size.GetHeight(), &screen, origin.x, origin.y);
        }
        image = shot.ConvertToImage();
        if (At(image, bar.x + nEnd - 1, bar.y + 10) == wxColour(28, 240, 171)) {
            break;
        }
        wxMilliSleep(20);
    }
    std::filesystem::create_directories(KLAVORA_PICTURE_DIR);
    image.SaveFile(KLAVORA_PICTURE_DIR "/form_preview.png", wxBITMAP_TYPE_PNG);

    // The bar ends at its column on screen as in the backing store.
    EXPECT_EQ(At(image, bar.x + nEnd - 1, bar.y + 10), wxColour(28, 240, 171));
    EXPECT_EQ(At(image, bar.x + nEnd, bar.y + 10), *wxBLACK);
    // A key of the keyboard picture shows in its colour.
    const wxPoint k = pKeys->GetPosition();
    EXPECT_LT(At(image, k.x + 30, k.y + 100).Red(), 70);
    EXPECT_GT(At(image, k.x + 30, k.y + 40).Red(), 200);
}
