// SPDX-License-Identifier: GPL-3.0-or-later
// CScalaImportDlg is the logic of the window's Scala import: it reads a .scl
// file with the store tool's reader, in the arithmetic the window uses, says
// what it found (the description, the twelve notes, the fifths they imply and
// the comma those leave) or, for a file that is no scale of twelve notes to
// the octave, what the file is; and it adds the temperament through the
// temperament editor's own Save, so that the names and messages are those of
// New Temperament. The window layer shows it. User-interface thread only.
#pragma once

#include <array>
#include <string>

#include "presenter/TemperamentDlg.h"
#include "tuning/Temperament.h"

class IMessageHost;

class CScalaImportDlg {
public:
    // The window's caption, and that of the message about a refused file.
    static constexpr const char* kCaption = "Import Scala File";

    explicit CScalaImportDlg(FifthArithmetic arithmetic);

    // Reads the file; false with Refusal() set when it cannot be imported.
    bool Load(const std::string& path);
    // The same for a file's text, path naming it in messages and giving the
    // name when the description is blank.
    bool LoadText(const std::string& path, const std::string& text);

    // Why the file cannot be imported, one sentence for a message box.
    const std::string& Refusal() const { return m_strRefusal; }

    // The preview of a loaded file.
    const std::string& Description() const { return m_strDescription; }
    // Note 0..11 (C to B) in cents above C as the file gives it.
    double NoteCents(int note) const;
    std::string NoteCentsText(int note) const;
    // Fifth k (C-G ... F-C) as an offset in the window's arithmetic, and as
    // the store will keep it.
    double FifthOffset(int k) const;
    std::string FifthOffsetText(int k) const;
    // What the offsets are counted in, for the caption of their list.
    std::string OffsetUnit() const;
    // The comma the offsets leave, as the editor writes it ("0.00 cents").
    const std::string& RemainingCommaText() const { return m_editor.m_strRemainingComma; }

    // The name the temperament will get: the description, or the file's
    // name without .scl when the description is blank; the user may change it.
    std::string m_strName;

    // The Import button: the editor's Save for a new temperament with these
    // offsets and the name, with its checks, questions and messages.
    CTemperamentDlg::SaveResult OnImport(IMessageHost& host);
    // The editor that saved it, for the view to add the temperament as it
    // adds a new one.
    const CTemperamentDlg& Editor() const { return m_editor; }

private:
    bool Refuse(const std::string& text);

    FifthArithmetic m_arithmetic;
    std::string m_strRefusal;
    std::string m_strDescription;
    std::array<double, 12> m_adNoteCents{};
    CTemperamentDlg m_editor;
};
