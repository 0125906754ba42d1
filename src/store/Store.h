// SPDX-License-Identifier: GPL-3.0-or-later
// The settings store: the program's stand-in for the registry below
// HKEY_LOCAL_MACHINE, kept in one SQLite file. Keys are found by path and hold
// named string values; paths and names compare without regard to letter case
// and keep the case they were created with; values enumerate in the order
// they were created. Opening never creates a key or the file. Every write is
// one transaction, so several processes may write at once; a store that
// another process keeps busy is waited for only briefly and reported as busy,
// never as damaged. A file that is not a store, or whose pages are damaged, is
// never written to. Each handle belongs to one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "store/StoreRegistry.h"

// Whole-store access for the store tool (creating the store and its keys,
// listing, export and import). One connection to one store file.
class CStoreFile {
public:
    using Value = StoreValue;

    ~CStoreFile();
    CStoreFile(const CStoreFile&) = delete;
    CStoreFile& operator=(const CStoreFile&) = delete;

    // Opens an existing store, waiting up to waitMs whenever another process
    // holds it. ERROR_FILE_NOT_FOUND when there is no file, ERROR_BUSY when
    // it stays busy, ERROR_BADDB when the file is not a store or not a
    // regular file at all (it is left as it is, and a FIFO is never opened).
    static long Open(const std::string& path, std::unique_ptr<CStoreFile>& out,
                     int waitMs = kStoreWaitMs);
    // Opens the store, creating the file (and its folder) and its tables when
    // there is no file yet. An existing file that is not a store, even an
    // empty one, is refused with ERROR_BADDB and left untouched. A new store
    // is built under a fresh name beside path and appears at path only
    // whole, readable by its owner alone (mode 0600, less the umask); why,
    // when given, receives the system's reason when it cannot be made.
    static long OpenOrCreate(const std::string& path, std::unique_ptr<CStoreFile>& out,
                             int waitMs = kStoreWaitMs, std::string* why = nullptr);

    const std::string& Path() const { return m_strPath; }

    // Transactions group several writes; the single-write calls below open
    // their own when none is running. Begin takes the write lock and checks
    // the pages first: ERROR_BADDB, writing nothing, when they are damaged.
    long Begin();
    long Commit();
    void Rollback();

    // Finds a key; *id receives its row id and *stored its path as created.
    long FindKey(const std::string& path, std::int64_t* id, std::string* stored = nullptr);
    // Creates the key and any missing parents; *created tells whether the key
    // itself is new.
    long CreateKey(const std::string& path, std::int64_t* id, bool* created = nullptr);
    long ListKeys(std::vector<std::string>& paths);
    long ListValues(std::int64_t key, std::vector<Value>& values);
    long GetValue(std::int64_t key, const std::string& name, std::string& data);
    long ValueNameAt(std::int64_t key, std::size_t index, std::string& name);
    // Replaces the data of a value whose name matches regardless of case (its
    // stored name and place stay), or adds a new value at the end.
    long SetValue(std::int64_t key, const std::string& name, const std::string& data);
    long DeleteValue(std::int64_t key, const std::string& name);
    // Gives a value a new name, keeping its data and its place. ERROR_FILE_NOT_FOUND
    // when there is no such value, ERROR_ALREADY_EXISTS when another value of
    // the key has the new name (letter case aside).
    long RenameValue(std::int64_t key, const std::string& name, const std::string& newName);

    // SQLite's check of every page and index; problems gets one line per
    // fault found (at most maxProblems), none when the store is sound.
    long CheckIntegrity(std::vector<std::string>& problems, int maxProblems = 20);

    // Text of the last failure, for messages.
    const std::string& LastError() const { return m_strLastError; }

private:
    struct Impl;
    explicit CStoreFile(std::unique_ptr<Impl> impl, std::string path);
    static long OpenImpl(const std::string& path, bool create, int waitMs,
                         std::unique_ptr<CStoreFile>& out, std::string* why);
    // Puts an empty store with its tables at path, where nothing is yet.
    static long MakeStoreFile(const std::string& path, std::string& why);
    bool PagesSound();
    long Exec(const char* sql);
    long Fail(int sqliteCode);
    // The outcome of a step that looks one row up: success for a row,
    // whenNone when there is none, the failure otherwise.
    long RowFound(int stepCode, long whenNone);
    template <typename Fn>
    long InTransaction(Fn&& fn);

    std::unique_ptr<Impl> m_pImpl;
    std::string m_strPath;
    std::string m_strLastError;
    int m_nDepth = 0;
};

// Which file a path names, to tell later whether it still names the same one.
// A deleted file's inode number may be given to the next new file, so the
// time the file was made is compared too, where the file system keeps it.
struct StoreFileIdentity {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t bornSeconds = 0;
    std::uint32_t bornNanoseconds = 0;

    bool operator==(const StoreFileIdentity& o) const {
        return exists == o.exists && device == o.device && inode == o.inode &&
               bornSeconds == o.bornSeconds && bornNanoseconds == o.bornNanoseconds;
    }
    bool operator!=(const StoreFileIdentity& o) const { return !(*this == o); }
};
StoreFileIdentity IdentifyStoreFile(const std::string& path);

// The name a damaged store is set aside under: path + ".damaged-" and the
// local date of now, e.g. "klavora.db.damaged-2026-03-01".
std::string SetAsideStoreName(const std::string& path, std::time_t now);
// Moves the file at path to SetAsideStoreName, or, where an earlier one has
// that name, to the same name with "-2", "-3" ... added: nothing is replaced
// and nothing deleted. 0 and movedTo on success, else the system's error.
int SetAsideStoreFile(const std::string& path, std::time_t now, std::string& movedTo);

// Normalises a key path: leading and trailing backslashes go. Empty when the
// path names no key.
std::string NormaliseKeyPath(const std::string& path);

// How many SQL statements this process has prepared on stores so far; it
// shows how the work of an operation grows with the size of the store.
std::uint64_t StoreStatementCount();
