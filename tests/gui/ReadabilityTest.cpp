// SPDX-License-Identifier: GPL-3.0-or-later
// What the user reads and reaches on the real window: the frame around the
// form after the bars come and go, every number of the circle and the table
// whole and apart (measured with the toolkit's own text extents), the hand
// over the pictures in every state, and the dialogs from the keyboard.
#include <gtk/gtk.h>

#include <chrono>
#include <functional>
#include <sstream>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dcmemory.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/menu.h>
#include <wx/odcombo.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/statusbr.h>
#include <wx/textctrl.h>
#include <wx/toolbar.h>

#include "controls/CycleOfFifthsControl.h"
#include "gui/DialogUnits.h"
#include "gui/GuiTestSupport.h"
#include "gui/OptionsWindow.h"
#include "gui/TemperamentWindow.h"
#include "gui/UpDownButton.h"
#include "gui/WxCanvas.h"
#include "tuning/Temperament.h"
#include "tuning/TemperamentSet.h"

namespace {

// Runs the toolkit's own event loop (the one the program runs) until what
// snapshot() reports has stayed the same for several rounds, or the limit.
bool PumpUntilStable(const std::function<std::string()>& snapshot, int limitMs = 4000) {
    wxEventLoop loop;
    wxEventLoopActivator active(&loop);
    const auto start = std::chrono::steady_clock::now();
    std::string last;
    int same = 0;
    for (;;) {
        while (loop.Pending()) {
            loop.Dispatch();
        }
        wxTheApp->ProcessPendingEvents();
        wxTheApp->ProcessIdle();
        const std::string now = snapshot();
        same = now == last ? same + 1 : 0;
        last = now;
        if (same >= 5) {
            return true;
        }
        if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(limitMs)) {
            return false;
        }
        loop.DispatchTimeout(20);
    }
}

// The frame's window as the toolkit has it: top edge on screen and size.
wxRect RealFrameRect(wxFrame* pFrame) {
    GtkWidget* pWidget = static_cast<GtkWidget*>(pFrame->GetHandle());
    GtkAllocation alloc;
    gtk_widget_get_allocation(pWidget, &alloc);
    int x = 0;
    int y = 0;
    gdk_window_get_origin(gtk_widget_get_window(pWidget), &x, &y);
    return wxRect(x, y, alloc.width, alloc.height);
}

std::string Describe(const wxRect& rc) {
    std::ostringstream out;
    out << rc.x << ',' << rc.y << ' ' << rc.width << 'x' << rc.height;
    return out.str();
}

bool Overlap(const wxRect& a, const wxRect& b) {
    return a.x < b.GetRight() + 1 && b.x < a.GetRight() + 1 && a.y < b.GetBottom() + 1 &&
           b.y < a.GetBottom() + 1;
}

wxRect ToWx(const Rect& rc) {
    return wxRect(rc.left, rc.top, rc.Width(), rc.Height());
}

// Forwards to the real canvas and keeps where each text really came out:
// its extent in the font the canvas makes, placed as the canvas places it
// (centred across its rectangle, from the top).
class CMeasuringCanvas : public ICanvas {
public:
    struct SText {
        std::string text;
        wxRect rc;
        wxRect box;
        int nHeight;
    };
    explicit CMeasuringCanvas(ICanvas& real) : m_real(real) {}
    bool IsWindow() const override { return m_real.IsWindow(); }
    Rect GetClientRect() const override { return m_real.GetClientRect(); }
    void FillRect(const Rect& rc, Colour colour) override { m_real.FillRect(rc, colour); }
    int TextWidth(const std::string& text, const FontSpec& font) override {
        return m_real.TextWidth(text, font);
    }
    void DrawText(const std::string& text, const Rect& rc, const FontSpec& font, Colour textColour,
                  Colour backColour, unsigned format) override {
        m_real.DrawText(text, rc, font, textColour, backColour, format);
        wxBitmap bitmap(8, 8, 24);
        wxMemoryDC dc(bitmap);
        dc.SetFont(CWxCanvas::MakeFont(dc, font));
        const wxSize extent = dc.GetTextExtent(wxString::FromUTF8(text));
        const wxRect cell = ToWx(rc);
        m_texts.push_back(SText{text, cell,
                                wxRect(cell.x + (cell.width - extent.GetWidth()) / 2, cell.y,
                                       extent.GetWidth(), extent.GetHeight()),
                                font.nHeight});
    }
    std::vector<SText> m_texts;

private:
    ICanvas& m_real;
};

// How tall the digits come out in a font, counted in rendered pixels.
int DigitInkHeight(const wxFont& font) {
    wxBitmap bitmap(200, 40, 24);
    wxMemoryDC dc(bitmap);
    dc.SetBackground(*wxWHITE_BRUSH);
    dc.Clear();
    dc.SetFont(font);
    dc.SetTextForeground(*wxBLACK);
    dc.DrawText("0123456789", 2, 2);
    dc.SelectObject(wxNullBitmap);
    const wxImage image = bitmap.ConvertToImage();
    int top = -1;
    int bottom = -1;
    for (int y = 0; y < image.GetHeight(); ++y) {
        for (int x = 0; x < image.GetWidth(); ++x) {
            if (image.GetRed(x, y) < 128) {
                top = top < 0 ? y : top;
                bottom = y;
                break;
            }
        }
    }
    return top < 0 ? 0 : bottom - top + 1;
}

void Choose(CKlavoraForm* pForm, const std::string& name) {
    auto* pList = wxDynamicCast(pForm->Control(IDC_TEMPERAMENTS), wxOwnerDrawnComboBox);
    const int index = pForm->ListFindStringExact(name);
    pList->SetSelection(index);
    wxCommandEvent choice(wxEVT_COMBOBOX, IDC_TEMPERAMENTS);
    choice.SetEventObject(pList);
    choice.SetInt(index);
    pList->GetEventHandler()->ProcessEvent(choice);
}

}  // namespace

TEST_F(GuiTest, TheFrameFitsTheFormAfterEveryToggleOfTheBars) {
    AddDevices();
    OpenFrame();
    wxToolBar* pTools = m_pFrame->GetToolBar();
    wxStatusBar* pStatus = m_pFrame->GetStatusBar();
    wxWindow* pMenu = m_pFrame->GetMenuBar();
    // The twenty buttons fit across the form, so the frame is as wide as it.
    EXPECT_LE(pTools->GetBestSize().GetWidth(), DuX(490));

    auto layout = [&] {
        return Describe(RealFrameRect(m_pFrame)) + " " + Describe(Form()->GetScreenRect()) + " " +
               Describe(pStatus->GetScreenRect());
    };
    const auto check = [&](const char* step) {
        SCOPED_TRACE(step);
        ASSERT_TRUE(PumpUntilStable(layout)) << layout();
        const wxRect frame = RealFrameRect(m_pFrame);
        const wxRect form = Form()->GetScreenRect();
        EXPECT_EQ(frame.width, DuX(490));
        EXPECT_EQ(m_pFrame->GetClientSize(), wxSize(DuX(490), DuY(282)));
        // Menu, toolbar, form and status bar stack up with nothing between
        // them and nothing left over; the form's bottom row is on screen.
        int top = pMenu->GetScreenRect().GetBottom() + 1;
        if (pTools->IsShown()) {
            EXPECT_EQ(pTools->GetScreenRect().y, top);
            top += pTools->GetSize().GetHeight();
        }
        EXPECT_EQ(form.y, top);
        EXPECT_EQ(form.height, DuY(282));
        int bottom = form.GetBottom() + 1;
        if (pStatus->IsShown()) {
            EXPECT_EQ(pStatus->GetScreenRect().y, bottom);
            bottom += pStatus->GetSize().GetHeight();
        }
        EXPECT_EQ(frame.GetBottom() + 1, bottom);
    };
    check("at start");
    const int startHeight = RealFrameRect(m_pFrame).height;
    for (int round = 0; round < 2; ++round) {
        Menu(ID_VIEW_TOOLBAR);
        check("toolbar hidden");
        Menu(ID_VIEW_TOOLBAR);
        check("toolbar shown");
        Menu(ID_VIEW_STATUS_BAR);
        check("status bar hidden");
        Menu(ID_VIEW_TOOLBAR);
        check("both hidden");
        Menu(ID_VIEW_STATUS_BAR);
        check("status bar shown");
        Menu(ID_VIEW_TOOLBAR);
        check("both shown");
    }
    EXPECT_EQ(RealFrameRect(m_pFrame).height, startHeight);
    EXPECT_EQ(m_pFrame->GetWindowStyleFlag() & wxRESIZE_BORDER, 0);
}

TEST_F(GuiTest, EveryOffsetOfTheCircleStandsWholeAndClearOfTheNames) {
    AddDevices();
    OpenFrame();
    CMeasuringCanvas canvas(*Form()->GetCanvas(IDC_CYCLE_OF_FIFTHS));
    CCycleOfFifthsControl circle;
    circle.SetWindow(&canvas);
    const wxRect client = ToWx(canvas.GetClientRect());

    // The catalogue, and offsets the editor takes that are longer still.
    std::vector<std::pair<std::string, CTemperament>> temperaments;
    for (const SeedTemperament& seed : SeedCatalogue()) {
        const CTemperament* pFound = View()->GetTemperaments()->Find(seed.name);
        ASSERT_NE(pFound, nullptr) << seed.name;
        temperaments.emplace_back(seed.name, *pFound);
    }
    temperaments.emplace_back(
        "long entries",
        CTemperament({-1.81899e-12, -123456.0, -0.000123457, -1.23457e+100, -99999.9, -1.23457e-100,
                      -7.33333, -888888.0, -56.6666, -4.8, 1e-05, -1.5e+15}));
    for (auto& [name, temperament] : temperaments) {
        for (int rotation = 0; rotation < 12; rotation += 5) {
            SCOPED_TRACE(name + " rotated " + std::to_string(rotation));
            temperament.Rotate(rotation);
            canvas.m_texts.clear();
            circle.SetTemperament(&temperament);
            circle.Paint();
            std::vector<CMeasuringCanvas::SText> offsets;
            for (const auto& text : canvas.m_texts) {
                if (text.nHeight != CCycleOfFifthsControl::kNameCellHeight) {
                    offsets.push_back(text);
                }
            }
            // Painting draws each offset once more; the last twelve stand.
            ASSERT_GE(offsets.size(), 12u);
            offsets.erase(offsets.begin(), offsets.end() - 12);
            for (size_t i = 0; i < offsets.size(); ++i) {
                const auto& offset = offsets[i];
                SCOPED_TRACE(offset.text);
                EXPECT_EQ(offset.text,
                          FormatStreamDouble(temperament.GetOffset(static_cast<int>(i))));
                // Not cut by its own rectangle, inside the window.
                EXPECT_LE(offset.box.width, offset.rc.width);
                EXPECT_LE(offset.box.height, offset.rc.height);
                EXPECT_TRUE(client.Contains(offset.box));
                for (int n = 0; n < 12; ++n) {
                    EXPECT_FALSE(Overlap(offset.box, ToWx(circle.NameCell(n))))
                        << circle.NoteName(n);
                }
                for (size_t j = i + 1; j < offsets.size(); ++j) {
                    EXPECT_FALSE(Overlap(offset.box, offsets[j].box)) << offsets[j].text;
                }
            }
        }
    }
}

TEST_F(GuiTest, EveryTableValueStandsWholeApartAndReadable) {
    AddDevices();
    OpenFrame();
    const int upperIds[] = {IDC_LABEL_CS, IDC_LABEL_DS, IDC_LABEL_FS, IDC_LABEL_GS, IDC_LABEL_AS};
    const int lowerIds[] = {IDC_LABEL_C, IDC_LABEL_D, IDC_LABEL_E, IDC_LABEL_F,
                            IDC_LABEL_G, IDC_LABEL_A, IDC_LABEL_B};
    const wxRect group = Form()->Control(1014)->GetRect();
    const wxRect keys = Form()->Control(IDC_KEYBOARD)->GetRect();
    auto* pCaption = wxDynamicCast(Form()->Control(IDC_DISPLAY_TITLE), wxStaticText);
    int top = 0;
    int other = 0;
    wxDynamicCast(Form()->Control(1014), wxStaticBox)->GetBordersForSizer(&top, &other);

    // Where a label's text really lies, in its font, centred in its label.
    auto box = [](wxStaticText* pLabel) {
        const wxRect rc = pLabel->GetRect();
        const wxSize extent = pLabel->GetTextExtent(pLabel->GetLabelText());
        EXPECT_LE(extent.GetWidth(), rc.width) << pLabel->GetLabelText();
        EXPECT_LE(extent.GetHeight(), rc.height) << pLabel->GetLabelText();
        return wxRect(rc.x + (rc.width - extent.GetWidth()) / 2, rc.y, extent.GetWidth(),
                      extent.GetHeight());
    };
    const int modes[] = {ID_VIEW_CENTS, ID_VIEW_DEVIATIONS, ID_VIEW_MINOR_THIRDS,
                         ID_VIEW_MAJOR_THIRDS, ID_VIEW_FREQUENCIES};
    for (const SeedTemperament& seed : SeedCatalogue()) {
        Choose(Form(), seed.name);
        for (int mode : modes) {
            Menu(mode);
            SCOPED_TRACE(seed.name + ", mode " + std::to_string(mode));
            std::vector<std::pair<wxRect, wxString>> boxes;
            for (int id : upperIds) {
                auto* pLabel = wxDynamicCast(Form()->Control(id), wxStaticText);
                const wxRect rc = box(pLabel);
                EXPECT_GE(rc.y, group.y + top);
                EXPECT_LE(rc.GetBottom(), keys.y - 1);
                boxes.emplace_back(rc, pLabel->GetLabelText());
            }
            for (int id : lowerIds) {
                auto* pLabel = wxDynamicCast(Form()->Control(id), wxStaticText);
                const wxRect rc = box(pLabel);
                EXPECT_GE(rc.y, keys.GetBottom() + 1);
                boxes.emplace_back(rc, pLabel->GetLabelText());
            }
            const wxRect caption = box(pCaption);
            EXPECT_LT(caption.GetBottom(), group.GetBottom());
            for (size_t i = 0; i < boxes.size(); ++i) {
                const auto& [rc, text] = boxes[i];
                auto* pLabel = wxDynamicCast(Form()->Control(i < 5 ? upperIds[i] : lowerIds[i - 5]),
                                             wxStaticText);
                EXPECT_GE(DigitInkHeight(pLabel->GetFont()), 7) << text;
                EXPECT_GE(rc.x, group.x + 2) << text;
                EXPECT_LE(rc.GetRight(), group.GetRight() - 2) << text;
                EXPECT_FALSE(Overlap(rc, caption)) << text;
                for (size_t j = i + 1; j < boxes.size(); ++j) {
                    // Values on one line keep 4 pixels between them.
                    const wxRect& b = boxes[j].first;
                    if (rc.y < b.GetBottom() + 1 && b.y < rc.GetBottom() + 1) {
                        const int gap = std::max(b.x - rc.GetRight() - 1, rc.x - b.GetRight() - 1);
                        EXPECT_GE(gap, 4) << text << " and " << boxes[j].second;
                    }
                }
            }
        }
    }
}

TEST_F(GuiTest, TheHandShowsOverThePicturesWithoutTemperamentsAndClicksAreIgnored) {
    AddDevices();
    OpenFrame();
    while (Form()->ListGetCount() > 0) {
        const int before = Form()->ListGetCount();
        m_host.m_answers = {IDYES};
        Menu(ID_DELETE_TEMPERAMENT);
        ASSERT_EQ(Form()->ListGetCount(), before - 1);
    }
    EXPECT_FALSE(Form()->IsControlEnabled(IDC_CYCLE_OF_FIFTHS));
    EXPECT_FALSE(Form()->IsControlEnabled(IDC_KEYBOARD));

    // The pointer really moves there, so the toolkit must deliver the
    // motion to the picture for the cursor to change.
    wxWindow* pCircle = Form()->Control(IDC_CYCLE_OF_FIFTHS);
    const Rect& cellD = View()->GetCycleOfFifths().NameCell(2);
    auto cursor = [](wxWindow* pWindow) {
        return std::string(pWindow->GetCursor().IsOk() ? "hand" : "arrow");
    };
    pCircle->WarpPointer((cellD.left + cellD.right) / 2, (cellD.top + cellD.bottom) / 2);
    PumpUntilStable([&] { return cursor(pCircle); });
    EXPECT_EQ(cursor(pCircle), "hand");
    pCircle->WarpPointer(150, 150);
    PumpUntilStable([&] { return cursor(pCircle); });
    EXPECT_EQ(cursor(pCircle), "arrow");
    wxWindow* pKeyboard = Form()->Control(IDC_KEYBOARD);
    pKeyboard->WarpPointer(20, 20);
    PumpUntilStable([&] { return cursor(pKeyboard); });
    EXPECT_EQ(cursor(pKeyboard), "hand");

    // A disabled picture sends no click.
    const int note = View()->GetNote();
    wxMouseEvent click(wxEVT_LEFT_DOWN);
    click.SetEventObject(pKeyboard);
    click.SetPosition(wxPoint(20, 20));
    pKeyboard->GetEventHandler()->ProcessEvent(click);
    EXPECT_EQ(View()->GetNote(), note);
}

TEST_F(GuiTest, TheBufferArrowsTakeTheFocusAndTheKeysWithDefaultsTicked) {
    AddDevices();
    OpenFrame();
    WhenDialogRuns<COptionsWindow>([](COptionsWindow& window) {
        ASSERT_TRUE(window.UseDefaults()->GetValue());
        ASSERT_FALSE(window.BufferCount()->IsEnabled());
        CUpDownButton* pArrows = window.BufferCountArrows();
        EXPECT_TRUE(pArrows->AcceptsFocusFromKeyboard());
        pArrows->SetFocus();
        PumpUntilStable([&] { return std::string(pArrows->HasFocus() ? "focus" : "none"); });
        EXPECT_TRUE(pArrows->HasFocus());
        auto press = [&](wxWindow* pTarget, int key) {
            wxKeyEvent event(wxEVT_KEY_DOWN);
            event.m_keyCode = key;
            event.SetEventObject(pTarget);
            pTarget->GetEventHandler()->ProcessEvent(event);
        };
        const auto count = [&] { return window.BufferCount()->GetValue().ToStdString(); };
        press(pArrows, WXK_UP);
        EXPECT_EQ(count(), "6");
        press(pArrows, WXK_DOWN);
        EXPECT_EQ(count(), "5");
        press(pArrows, WXK_PAGEUP);
        EXPECT_EQ(count(), "15");
        press(pArrows, WXK_END);
        EXPECT_EQ(count(), "100");
        press(pArrows, WXK_HOME);
        EXPECT_EQ(count(), "1");
        // The size's arrows double and halve within their range.
        press(window.BufferSizeArrows(), WXK_END);
        EXPECT_EQ(window.BufferSize()->GetValue(), "524288");
        press(window.BufferSizeArrows(), WXK_HOME);
        EXPECT_EQ(window.BufferSize()->GetValue(), "4096");
        EXPECT_EQ(count(), "1");
        window.Accept();
    });
    Menu(ID_OPTIONS);
    EXPECT_TRUE(m_bScriptRan);
    EXPECT_EQ(View()->GetNumBuffers(), 1);
    EXPECT_EQ(View()->GetBufferSize(), 4096);
}

TEST_F(GuiTest, EditorButtonsTabAsTheyStandAndHelpWaitsForAnUnreadableEntry) {
    AddDevices();
    OpenFrame();
    WhenDialogRuns<CTemperamentWindow>([this](CTemperamentWindow& window) {
        // Tab follows the order of the children: Save, Cancel, Help, left
        // to right.
        std::vector<int> order;
        int lastX = -1;
        for (wxWindow* pChild : window.GetChildren()) {
            if (auto* pButton = dynamic_cast<wxButton*>(pChild)) {
                order.push_back(pButton->GetId());
                EXPECT_GT(pButton->GetPosition().x, lastX);
                lastX = pButton->GetPosition().x;
            }
        }
        EXPECT_EQ(order, (std::vector<int>{1038, wxID_CANCEL, 9}));

        // An unreadable entry, then a click on Help: the entry is reported
        // once, and nothing else opens over that message.
        window.OffsetEdit(3)->ChangeValue("abc");
        wxFocusEvent leave(wxEVT_KILL_FOCUS, window.OffsetEdit(3)->GetId());
        leave.SetEventObject(window.OffsetEdit(3));
        window.OffsetEdit(3)->GetEventHandler()->ProcessEvent(leave);
        wxWindow* pHelp = window.FindWindow(9);
        wxCommandEvent click(wxEVT_BUTTON, 9);
        click.SetEventObject(pHelp);
        pHelp->GetEventHandler()->ProcessEvent(click);
        wxTheApp->ProcessPendingEvents();
        ASSERT_EQ(m_host.m_boxes.size(), 1u);
        EXPECT_EQ(m_host.m_boxes[0].text, "Please enter a number.");
        EXPECT_EQ(window.OffsetEdit(3)->GetValue(), "0");
    });
    Menu(ID_NEW_TEMPERAMENT);
    EXPECT_TRUE(m_bScriptRan);
}
