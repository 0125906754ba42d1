#include "storetool/ScalaImportDlg.h"

#include <cmath>

#include "storetool/WindowFiles.h"
#include "tuning/NumberFormat.h"
#include "tuning/ScalaFile.h"

namespace {

// A scale file is a few hundred bytes; anything much larger is not one, and
// reading it would only hold up the window.
constexpr std::size_t kLargestScalaFile = 1 << 20;

std::string BaseName(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

std::string WithoutScl(const std::string& name) {
    if (name.size() > 4) {
        std::string ext = name.substr(name.size() - 4);
        for (char& c : ext) {
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
        if (ext == ".scl") {
            return name.substr(0, name.size() - 4);
        }
    }
    return name;
}

std::string Notes(long count) {
    return std::to_string(count) + (count == 1 ? " note" : " notes");
}

bool IsOctave(double cents) {
    return std::fabs(cents - CTemperament::kOctave) <= 1e-6;
}

}  // namespace

CScalaImportDlg::CScalaImportDlg(FifthArithmetic arithmetic)
    : m_arithmetic(arithmetic), m_editor("", nullptr) {}

bool CScalaImportDlg::Refuse(const std::string& text) {
    m_strRefusal = text;
    return false;
}

bool CScalaImportDlg::Load(const std::string& path) {
    std::string text;
    std::string why;
    if (!ReadSmallFile(path, kLargestScalaFile, text, why)) {
        return Refuse("\"" + BaseName(path) + "\" cannot be read: " + why + ".");
    }
    return LoadText(path, text);
}

bool CScalaImportDlg::LoadText(const std::string& path, const std::string& text) {
    m_strRefusal.clear();
    ScalaScale scale;
    std::array<double, 12> offsets{};
    std::string why;
    if (!ParseScalaTwelveTone(text, scale, why, m_arithmetic)) {
        // The two kinds of scale the program cannot tune are named as such;
        // any other refusal is the reader's own reason.
        const long notes = scale.declaredNotes;
        const bool octave = scale.periodCents == 0 || IsOctave(scale.periodCents);
        if (notes > 0 && notes != 12) {
            return Refuse(octave ? "This scale has " + Notes(notes) +
                                       " per octave; Klavora tunes twelve."
                                 : "This scale has " + Notes(notes) + " to a period of " +
                                       FormatStreamDouble(scale.periodCents) +
                                       " cents, not to the octave; Klavora tunes twelve notes "
                                       "to the octave.");
        }
        if (notes == 12 && !octave) {
            return Refuse("This scale repeats at " + FormatStreamDouble(scale.periodCents) +
                          " cents, not at the octave; Klavora tunes scales that repeat at the "
                          "octave.");
        }
        return Refuse("\"" + BaseName(path) + "\" is not a scale Klavora can import: " + why + ".");
    }
    if (!DeriveFifthOffsets(scale, offsets, why, m_arithmetic)) {
        return Refuse("\"" + BaseName(path) + "\" is not a scale Klavora can import: " + why + ".");
    }
    m_strDescription = scale.description;
    m_adNoteCents[0] = 0.0;
    for (int i = 1; i < 12; ++i) {
        m_adNoteCents[i] = scale.cents[i - 1];
    }
    m_strName = scale.description.empty() ? WithoutScl(BaseName(path)) : scale.description;
    m_editor.m_adOffsets = offsets;
    m_editor.UpdateRemainingComma();
    return true;
}

double CScalaImportDlg::NoteCents(int note) const {
    return m_adNoteCents[FoldNote(note)];
}

std::string CScalaImportDlg::NoteCentsText(int note) const {
    return FormatFixed(NoteCents(note), 3);
}

double CScalaImportDlg::FifthOffset(int k) const {
    return (k < 0 || k > 11) ? 0.0 : m_editor.m_adOffsets[k];
}

std::string CScalaImportDlg::FifthOffsetText(int k) const {
    // As the store will keep it.
    return FormatStreamDouble(FifthOffset(k));
}

std::string CScalaImportDlg::OffsetUnit() const {
    return m_arithmetic == FifthArithmetic::Exact
               ? "24ths of the Pythagorean comma from a pure fifth"
               : "cents from a 702-cent fifth";
}

CTemperamentDlg::SaveResult CScalaImportDlg::OnImport(IMessageHost& host) {
    m_editor.m_strName = m_strName;
    m_editor.UpdateRemainingComma();
    return m_editor.OnSave(host);
}
