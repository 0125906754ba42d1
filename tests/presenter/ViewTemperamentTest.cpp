#include "audio/PitchDetector.h"
#include "audio/ToneVoice.h"
#include "controls/KeyboardControl.h"
#include "presenter/TemperamentDlg.h"
#include "presenter/ViewTestSupport.h"
#include "tuning/NumberFormat.h"

class ViewTemperamentTest : public ViewTest {
protected:
    void SetUp() override { Install(); }
    std::vector<std::string> Table() {
        std::vector<std::string> row;
        row.reserve(12);
        for (int n = 0; n < 12; ++n) {
            row.push_back(m_form.Label(NoteLabelId(n)));
        }
        return row;
    }
};

TEST_F(ViewTemperamentTest, TablesForEqualTemperament) {
    SetSetting("Temperament", "Equal temperament");
    SetSetting("StandardA", "440");
    Start();
    Command(ID_VIEW_CENTS);
    EXPECT_EQ(Table()[0], "0");
    EXPECT_EQ(Table()[6], "600");
    EXPECT_EQ(m_form.Label(IDC_LABEL_FS), "600");  // note 6 lies above the keys
    EXPECT_EQ(m_form.Label(IDC_LABEL_G), "700");
    Command(ID_VIEW_DEVIATIONS);
    for (const std::string& v : Table()) {
        EXPECT_TRUE(v == "0" || v.find('e') != std::string::npos) << v;
    }
    Command(ID_VIEW_MINOR_THIRDS);
    EXPECT_EQ(Table(), std::vector<std::string>(12, "300"));
    Command(ID_VIEW_MAJOR_THIRDS);
    EXPECT_EQ(Table(), std::vector<std::string>(12, "400"));
    EXPECT_TRUE(State(ID_VIEW_MAJOR_THIRDS).m_bChecked);
    EXPECT_FALSE(State(ID_VIEW_CENTS).m_bChecked);
    Command(ID_VIEW_FREQUENCIES);
    EXPECT_EQ(Table()[0], "261.63");
    EXPECT_EQ(Table()[9], "440.00");
    EXPECT_EQ(Table()[11], "493.88");
    EXPECT_EQ(m_form.Label(IDC_DISPLAY_TITLE), "Frequencies from Standard A (Hertz)");
    EXPECT_EQ(m_view->GetNote(), 9);  // the display commands keep the note
}

TEST_F(ViewTemperamentTest, PureFifthsMeasureFromTheirOwnC) {
    m_form.m_editor = [this](CTemperamentDlg& dlg) {
        dlg.OnInitDialog();
        dlg.m_strName = "Pure";
        dlg.UpdateRemainingComma();
        EXPECT_EQ(dlg.m_strRemainingComma, "24.00 cents");
        m_form.Answer(IDYES);  // save although the circle does not close
        EXPECT_EQ(dlg.OnSave(m_form), CTemperamentDlg::kClose);
        return static_cast<int>(IDOK);
    };
    Start();
    ASSERT_TRUE(Command(ID_NEW_TEMPERAMENT));
    ASSERT_EQ(m_form.m_boxes.size(), 1u);
    EXPECT_EQ(m_form.m_boxes[0].text,
              "You need to temper by 24 cents more. Are you sure you want to save this "
              "temperament?");
    EXPECT_EQ(m_form.m_boxes[0].caption, "Save Temperament");
    // Listed in its sorted place, not selected.
    EXPECT_GE(m_form.ListFindStringExact("Pure"), 0);
    EXPECT_EQ(m_view->GetTemperamentName(), "Barnes 1979 (Bach)");
    SelectTemperament("Pure");
    EXPECT_EQ(m_form.m_nFocus, IDC_KEYBOARD);
    EXPECT_EQ(Table()[7], "678");
    EXPECT_EQ(m_view->GetTargetFrequency(), 415.0);
}

TEST_F(ViewTemperamentTest, SelectingRotatingAndEditing) {
    SetSetting("Temperament", "Equal temperament");
    Start();
    m_view->PreTranslateChar('B');  // a capital letter: the semitone above B, C
    EXPECT_EQ(m_view->GetNote(), 0);
    EXPECT_NEAR(m_view->GetTargetFrequency(), 246.76, 0.005);
    m_view->PreTranslateChar('h');
    EXPECT_EQ(m_view->GetNote(), 0);

    SelectTemperament("Werckmeister III");
    EXPECT_EQ(m_view->GetTemperamentName(), "Werckmeister III");
    EXPECT_EQ(Table()[1], "90");
    EXPECT_EQ(Table()[2], "192");
    const double target = m_view->GetTargetFrequency();

    // Rotating moves the pattern; the tuner keeps its pitch until the next note.
    Command(ID_ROTATE_RIGHT);
    EXPECT_EQ(m_view->GetTemperaments()->Find("Werckmeister III")->GetRotation(), 1);
    EXPECT_EQ(Table()[2], "198");  // D was 192
    EXPECT_EQ(m_view->GetTargetFrequency(), target);
    for (int i = 0; i < 11; ++i) {
        Command(ID_ROTATE_RIGHT);
    }
    EXPECT_EQ(m_view->GetTemperaments()->Find("Werckmeister III")->GetRotation(), 0);
    EXPECT_EQ(Table()[2], "192");

    // A click on a name of the circle rotates to it; a click beside the names does nothing.
    const Rect cell = m_view->GetCycleOfFifths().NameCell(3);
    m_form.PointAt(IDC_CYCLE_OF_FIFTHS, cell.left, cell.top);
    EXPECT_TRUE(m_view->WantsKeyCursor());
    m_view->OnCycleOfFifthsClick();
    EXPECT_EQ(m_view->GetTemperaments()->Find("Werckmeister III")->GetRotation(), 3);
    m_form.PointAt(IDC_CYCLE_OF_FIFTHS, 1, 1);
    EXPECT_FALSE(m_view->WantsKeyCursor());
    m_view->OnCycleOfFifthsClick();
    EXPECT_EQ(m_view->GetTemperaments()->Find("Werckmeister III")->GetRotation(), 3);
    // The rotation stays with the temperament when another is chosen and back.
    SelectTemperament("Vallotti");
    SelectTemperament("Werckmeister III");
    EXPECT_EQ(m_view->GetTemperaments()->Find("Werckmeister III")->GetRotation(), 3);
    Command(ID_ROTATE_LEFT);
    Command(ID_ROTATE_LEFT);
    Command(ID_ROTATE_LEFT);

    // Editing saves in place and in the store.
    m_form.m_editor = [this](CTemperamentDlg& dlg) {
        EXPECT_EQ(dlg.OnInitDialog(), "Edit Temperament");
        EXPECT_FALSE(dlg.NameEnabled());
        EXPECT_EQ(dlg.m_strRemainingComma, "0.00 cents");
        EXPECT_TRUE(dlg.SetOffsetText(0, "-5"));
        EXPECT_TRUE(dlg.SetOffsetText(3, "-1"));
        EXPECT_FALSE(dlg.SetOffsetText(4, "abc"));
        dlg.UpdateRemainingComma();
        m_form.Answer(IDYES);
        EXPECT_EQ(dlg.OnSave(m_form), CTemperamentDlg::kClose);
        return static_cast<int>(IDOK);
    };
    ASSERT_TRUE(Command(ID_EDIT_TEMPERAMENT));
    EXPECT_EQ(m_form.m_boxes.back().text, "Do you want to save your changes to this temperament?");
    EXPECT_EQ(m_view->GetTemperaments()->Find("Werckmeister III")->GetOffset(0), -5.0);
    CRegistryKey reg;
    HKEY key = reg.Open(kTemperamentsKeyPath);
    std::string text;
    reg.GetString(key, "Werckmeister III", text);
    reg.Close(key);
    EXPECT_EQ(text, "-5,-6,-6,-1,0,-6,0,0,0,0,0,0");
}

TEST_F(ViewTemperamentTest, KeysAndTheCursor) {
    Start();
    m_form.PointAt(IDC_KEYBOARD, 20, 130);  // the front of the C key
    EXPECT_TRUE(m_view->WantsKeyCursor());
    m_view->OnKeyboardClick();
    EXPECT_EQ(m_view->GetNote(), 0);
    EXPECT_EQ(m_view->GetPanelNote().GetText(), "C");
    m_form.PointAt(IDC_KEYBOARD, 0, 0);  // the border: hand cursor, but no key
    EXPECT_TRUE(m_view->WantsKeyCursor());
    m_view->OnKeyboardClick();
    EXPECT_EQ(m_view->GetNote(), 0);
    m_form.PointAt(IDC_KEYBOARD, 300, 10);
    EXPECT_FALSE(m_view->WantsKeyCursor());

    // The picture's own keys: the arrows move the mark round the octave,
    // Space chooses the marked note, and a choice moves the mark with it.
    const struct {
        int key;
        int nMark;
        int nNote;
    } steps[] = {
        {CKeyboardControl::kKeyLeft, 11, 0},   {CKeyboardControl::kKeyLeft, 10, 0},
        {CKeyboardControl::kKeySpace, 10, 10}, {CKeyboardControl::kKeyRight, 11, 10},
        {CKeyboardControl::kKeyRight, 0, 10},  {CKeyboardControl::kKeySpace, 0, 0},
    };
    for (const auto& step : steps) {
        m_view->OnKeyboardKey(step.key);
        EXPECT_EQ(m_view->GetKeyMark(), step.nMark);
        EXPECT_EQ(m_view->GetNote(), step.nNote);
    }
    EXPECT_EQ(m_view->GetPanelNote().GetText(), "C");
    m_view->OnKeyboardKey(CKeyboardControl::kKeyRight);
    m_view->PreTranslateChar('e');
    EXPECT_EQ(m_view->GetKeyMark(), 4);
}

TEST_F(ViewTemperamentTest, DeletingDownToNone) {
    // A store with two temperaments only.
    CRegistryKey reg;
    HKEY key = reg.Open(kTemperamentsKeyPath);
    std::string name;
    std::vector<std::string> names;
    for (int i = 0; reg.EnumValueName(key, i, name) != 0; ++i) {
        names.push_back(name);
    }
    for (const std::string& n : names) {
        if (n != "Vallotti" && n != "Kirnberger III") {
            reg.DeleteValue(key, n);
        }
    }
    reg.Close(key);
    Start();
    ASSERT_EQ(m_view->GetTemperamentName(), "Kirnberger III");

    m_form.Answer(IDNO);
    ASSERT_TRUE(Command(ID_DELETE_TEMPERAMENT));
    EXPECT_EQ(m_form.ListGetCount(), 2);
    EXPECT_EQ(m_form.m_boxes.back().text,
              "Are you sure you want to delete this temperament? This action is not reversible!");
    // No is the default button: Enter alone keeps the temperament.
    EXPECT_EQ(m_form.m_boxes.back().type, MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2);

    m_form.Answer(IDYES);
    ASSERT_TRUE(Command(ID_DELETE_TEMPERAMENT));
    EXPECT_EQ(m_view->GetTemperamentName(), "Vallotti");
    EXPECT_EQ(m_form.ListGetCurSel(), 0);
    EXPECT_EQ(m_view->GetTemperaments()->Find("Kirnberger III"), nullptr);

    m_form.Answer(IDYES);
    ASSERT_TRUE(Command(ID_DELETE_TEMPERAMENT));
    EXPECT_EQ(m_form.ListGetCount(), 0);
    EXPECT_EQ(m_view->GetTemperamentName(), "");
    EXPECT_FALSE(m_view->TemperamentsReady());
    EXPECT_FALSE(m_form.Enabled(IDC_KEYBOARD));
    EXPECT_FALSE(m_form.Enabled(IDC_CYCLE_OF_FIFTHS));
    EXPECT_EQ(m_view->GetCycleOfFifths().GetTemperament(), nullptr);
    for (int id : {ID_EDIT_TEMPERAMENT, ID_DELETE_TEMPERAMENT, ID_ROTATE_LEFT, ID_PLAY_NOTES}) {
        EXPECT_FALSE(State(id).m_bEnabled) << id;
    }
    EXPECT_TRUE(State(ID_NEW_TEMPERAMENT).m_bEnabled);
    m_view->OnCtlColor();  // repainting with nothing to show is safe
    m_view->SelectNote(4);
    EXPECT_EQ(m_view->GetTargetFrequency(), 0.0);
    Close();
    key = reg.Open(kTemperamentsKeyPath);
    EXPECT_EQ(reg.EnumValueName(key, 0, name), 0);  // both gone from the store too
    reg.Close(key);
    EXPECT_EQ(Setting("Temperament"), "");
}

TEST_F(ViewTemperamentTest, NewTemperamentRefusalsAndCancel) {
    int step = 0;
    m_form.m_editor = [&](CTemperamentDlg& dlg) {
        dlg.OnInitDialog();
        if (step == 0) {
            return static_cast<int>(IDCANCEL);  // cancelled: nothing added
        }
        EXPECT_EQ(dlg.OnSave(m_form), CTemperamentDlg::kFocusName);  // no name yet
        dlg.m_strName = "VALLOTTI";
        for (int k = 0; k < 12; ++k) {
            dlg.SetOffsetText(k, "-2");
        }
        dlg.UpdateRemainingComma();
        EXPECT_EQ(dlg.OnSave(m_form), CTemperamentDlg::kStayOpen);  // the name exists
        dlg.m_strName = "My equal";
        m_form.Answer(IDYES);
        EXPECT_EQ(dlg.OnSave(m_form), CTemperamentDlg::kClose);
        return static_cast<int>(IDOK);
    };
    Start();
    const int before = m_form.ListGetCount();
    Command(ID_NEW_TEMPERAMENT);
    EXPECT_EQ(m_form.ListGetCount(), before);
    step = 1;
    Command(ID_NEW_TEMPERAMENT);
    EXPECT_EQ(m_form.ListGetCount(), before + 1);
    ASSERT_EQ(m_form.m_boxes.size(), 3u);
    EXPECT_EQ(m_form.m_boxes[0].text, "Please enter a name for your new temperament");
    EXPECT_EQ(m_form.m_boxes[1].text,
              "A temperament with that name already exists.\r\nPlease choose a different name.");
    EXPECT_EQ(m_form.m_boxes[2].text, "Do you want to save your changes to this temperament?");
    ASSERT_NE(m_view->GetTemperaments()->Find("My equal"), nullptr);
}

TEST_F(ViewTemperamentTest, NamesTheStoreCannotGiveBackAreRefused) {
    const std::string longest(254, 'n');
    m_form.m_editor = [&](CTemperamentDlg& dlg) {
        dlg.OnInitDialog();
        for (int k = 0; k < 12; ++k) {
            dlg.SetOffsetText(k, "-2");
        }
        dlg.UpdateRemainingComma();
        for (const std::string& bad : {longest + "n", std::string(10000, 'x'),
                                       std::string("Tab\there"), std::string("Two\r\nlines")}) {
            dlg.m_strName = bad;
            EXPECT_EQ(dlg.OnSave(m_form), CTemperamentDlg::kFocusName);
        }
        dlg.m_strName = longest;
        m_form.Answer(IDYES);
        EXPECT_EQ(dlg.OnSave(m_form), CTemperamentDlg::kClose);
        return static_cast<int>(IDOK);
    };
    Start();
    const int before = m_form.ListGetCount();
    Command(ID_NEW_TEMPERAMENT);
    ASSERT_EQ(m_form.m_boxes.size(), 5u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(m_form.m_boxes[i].caption, "Save Temperament");
        EXPECT_EQ(m_form.m_boxes[i].type, MB_OK | MB_ICONEXCLAMATION);
    }
    EXPECT_EQ(m_form.m_boxes[0].text,
              "The name of a temperament can have at most 254 characters.\r\nPlease choose a "
              "shorter name.");
    EXPECT_EQ(m_form.m_boxes[1].text, m_form.m_boxes[0].text);
    EXPECT_EQ(m_form.m_boxes[2].text,
              "The name of a temperament cannot contain tabs, line breaks or other control "
              "characters.\r\nPlease choose a different name.");
    EXPECT_EQ(m_form.m_boxes[3].text, m_form.m_boxes[2].text);
    // The one saved is there after a restart, and so is every other.
    Close();
    m_form.m_list.clear();
    Start();
    EXPECT_EQ(m_form.ListGetCount(), before + 1);
    EXPECT_GE(m_form.ListFindStringExact(longest), 0);
}

TEST_F(ViewTemperamentTest, ExactTemperamentsReachEveryFigureAndAreStoredOnceUsed) {
    SetSetting("Temperament", "Werckmeister III");
    Start();
    Close();
    EXPECT_EQ(Setting("ExactTemperaments"), "<missing>");  // never used: the eight alone
    // E4 at 415 in the table, the tuner's target and the voice, and the
    // circle's C-G, first classic, then exact.
    for (const bool exact : {false, true}) {
        m_form.Canvas(IDC_CYCLE_OF_FIFTHS).Clear();
        Start();  // draws the circle
        if (exact) {
            m_form.Canvas(IDC_CYCLE_OF_FIFTHS).Clear();
            ASSERT_TRUE(Command(ID_EXACT_TEMPERAMENTS));
        }
        EXPECT_EQ(State(ID_EXACT_TEMPERAMENTS).m_bChecked, exact);
        Command(ID_VIEW_FREQUENCIES);
        m_view->PreTranslateChar('e');
        const std::string e4 = exact ? "311.25" : "311.26";
        EXPECT_EQ(Table()[4], e4);
        EXPECT_EQ(FormatFixed(m_view->GetDetector()->GetTarget(), 2), e4);
        EXPECT_EQ(FormatFixed(m_view->GetVoice(0)->GetFrequency(), 2), e4);
        const auto texts = m_form.Canvas(IDC_CYCLE_OF_FIFTHS).TextCalls();
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts[0].text, exact ? "-5.865" : "-6");
        Close();
    }
    EXPECT_EQ(Setting("ExactTemperaments"), "1");
    Start();
    EXPECT_TRUE(m_view->ExactTemperaments());  // read back at start
    ASSERT_TRUE(Command(ID_EXACT_TEMPERAMENTS));
    EXPECT_EQ(Table()[4], "311.26");
    Close();
    EXPECT_EQ(Setting("ExactTemperaments"), "0");  // once stored, kept up to date
}
