// SPDX-License-Identifier: GPL-3.0-or-later
// How both programs make files, so that another local user can neither steer
// the bytes into a file of their choosing nor read them meanwhile: a new file
// is created exclusively and never through a symbolic link, readable and
// writable by its owner only (less where the umask takes more away), and a
// whole file is written under a fresh name in its target's folder and renamed
// over the target only when every byte is on the disk. Any thread.
#pragma once

#include <string>

// The mode every new file is created with; the umask may take more away.
constexpr unsigned kPrivateFileMode = 0600;

// Creates a new, empty file beside target (in its folder, under a short name
// of its own, whatever the length of target's name) and opens it for writing.
// The descriptor, or -1 with the system's reason in why.
int CreateFileBeside(const std::string& target, std::string& createdPath, std::string& why);

// Replaces path with bytes: written beside it, flushed to the disk, then
// renamed over it, so that a failure leaves an earlier file as it was and
// leaves nothing else behind. A symbolic link at path is replaced, never
// followed. On failure why holds the system's reason ("No space left on
// device").
bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& why);

// Gives from the name to, which nothing may hold yet: an existing file,
// folder or link at to is never replaced. Works for any kind of file. The
// system's error number on failure (EEXIST when to is taken), else 0.
int RenameNoReplace(const std::string& from, const std::string& to);

// The folder part of a path: "." for a bare name, "/" for a file in the root.
std::string FolderOf(const std::string& path);

// The system's text for an error number.
std::string SystemReason(int error);
