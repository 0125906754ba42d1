// SPDX-License-Identifier: GPL-3.0-or-later
// The files the window reads and writes for the user: a small file read
// without hanging on a pipe or a device, the one place where a file the user
// chose is written, and the Scala file the window exports. Pure functions
// apart from the file access; any thread.
#pragma once

#include <string>

#include "presenter/MessageHost.h"
#include "tuning/Temperament.h"

// Reads a regular file of at most limit bytes; false with the reason (in
// words for a message) for anything else.
bool ReadSmallFile(const std::string& path, std::size_t limit, std::string& text, std::string& why);

// Writes a file the user chose so that a failure leaves an earlier file of
// that name as it was. Every file the window saves goes through here.
bool SaveChosenFile(const std::string& path, const std::string& bytes, std::string& why);
// The message for a file that could not be saved.
std::string SaveFailureMessage(const std::string& path, const std::string& why);

// The path with the extension (".scl", ".pdf") added unless it ends in it
// already, in any letter case.
std::string WithExtension(const std::string& path, const std::string& extension);
// The file to write for a name chosen in a save dialog: with the extension
// added. The dialog asked before replacing the file it was given; when the
// extension makes it another file that exists, this asks; empty when the
// user would rather not replace it.
std::string ChosenSavePath(const std::string& chosen, const std::string& extension,
                           IMessageHost& host, const std::string& caption);
// A file name offered for a temperament's file: its name with the
// characters that cannot stand in a file name replaced, and the extension.
std::string OfferedFileName(const std::string& name, const std::string& extension);

// The Scala file the window exports for a temperament: export-scl's file for
// the temperament as stored, whatever its rotation, in its arithmetic.
std::string ScalaExportText(const std::string& name, const CTemperament& t);
