#include "store/Store.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/SafeFile.h"

namespace {

// Marks a SQLite file as a Klavora store ("KLV1"), so that a file of some
// other program is recognised and never written to.
constexpr int kApplicationId = 0x4B4C5631;
constexpr int kSchemaVersion = 1;

std::atomic<std::uint64_t> g_nStatements{0};

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    "  id INTEGER PRIMARY KEY,"
    "  path TEXT NOT NULL UNIQUE COLLATE NOCASE);"
    "CREATE TABLE IF NOT EXISTS vals("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  key_id INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,"
    "  name TEXT NOT NULL COLLATE NOCASE,"
    "  data BLOB NOT NULL,"
    "  UNIQUE(key_id, name));";

// A file without any write permission bit was made read-only on purpose; it is
// opened read-only even by a user (root) whom the permissions would not stop.
bool MarkedReadOnly(const struct stat& st) {
    return (st.st_mode & 0222) == 0;
}

// What a failure to read the header of an existing file means: another
// process holding it is no sign of damage.
long HeaderFailure(int code) {
    const int primary = code & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED ? ERROR_BUSY : ERROR_BADDB;
}

long MapSqlite(int code) {
    switch (code & 0xff) {
        case SQLITE_OK:
        case SQLITE_DONE:
        case SQLITE_ROW:
            return ERROR_SUCCESS;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
        case SQLITE_CANTOPEN:
            return ERROR_ACCESS_DENIED;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return ERROR_BUSY;
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
        case SQLITE_SCHEMA:
        case SQLITE_ERROR:
            return ERROR_BADDB;
        default:
            return ERROR_ACCESS_DENIED;
    }
}

// Makes the folder of a file and its parents, private to the user.
bool MakeParentDirs(const std::string& file, std::string& why) {
    std::size_t pos = 0;
    while ((pos = file.find('/', pos + 1)) != std::string::npos) {
        const std::string dir = file.substr(0, pos);
        if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
            why = "cannot make the folder " + dir + ": " + SystemReason(errno);
            return false;
        }
    }
    return true;
}

// Removes a store that was being built and the journal SQLite may have left.
void RemoveUnfinishedStore(const std::string& path) {
    ::unlink(path.c_str());
    ::unlink((path + "-journal").c_str());
}

// One prepared statement, finalized when it leaves scope.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        g_nStatements.fetch_add(1, std::memory_order_relaxed);
        m_nStatus = sqlite3_prepare_v2(db, sql, -1, &m_pStmt, nullptr);
    }
    ~Statement() { sqlite3_finalize(m_pStmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    int Status() const { return m_nStatus; }
    void Bind(int i, std::int64_t v) { sqlite3_bind_int64(m_pStmt, i, v); }
    void Bind(int i, const std::string& s) {
        sqlite3_bind_text(m_pStmt, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
    void BindBlob(int i, const std::string& s) {
        sqlite3_bind_blob(m_pStmt, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    }
    int Step() { return m_nStatus = sqlite3_step(m_pStmt); }
    std::int64_t Int(int col) const { return sqlite3_column_int64(m_pStmt, col); }
    std::string Text(int col) const {
        const void* p = sqlite3_column_blob(m_pStmt, col);
        const int n = sqlite3_column_bytes(m_pStmt, col);
        return p != nullptr ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n))
                            : std::string();
    }

private:
    sqlite3_stmt* m_pStmt = nullptr;
    int m_nStatus = SQLITE_OK;
};

}  // namespace

struct CStoreFile::Impl {
    sqlite3* db = nullptr;
    ~Impl() { sqlite3_close_v2(db); }
};

CStoreFile::CStoreFile(std::unique_ptr<Impl> impl, std::string path)
    : m_pImpl(std::move(impl)), m_strPath(std::move(path)) {}

CStoreFile::~CStoreFile() {
    if (m_nDepth > 0) {
        Exec("ROLLBACK");
    }
}

long CStoreFile::Open(const std::string& path, std::unique_ptr<CStoreFile>& out, int waitMs) {
    return OpenImpl(path, false, waitMs, out, nullptr);
}

long CStoreFile::OpenOrCreate(const std::string& path, std::unique_ptr<CStoreFile>& out, int waitMs,
                              std::string* why) {
    return OpenImpl(path, true, waitMs, out, why);
}

long CStoreFile::MakeStoreFile(const std::string& path, std::string& why) {
    if (!MakeParentDirs(path, why)) {
        return ERROR_ACCESS_DENIED;
    }
    std::string temp;
    const int fd = CreateFileBeside(path, temp, why);
    if (fd < 0) {
        return ERROR_ACCESS_DENIED;
    }
    ::close(fd);
    long status = ERROR_SUCCESS;
    {
        auto impl = std::make_unique<Impl>();
        const int rc = sqlite3_open_v2(temp.c_str(), &impl->db,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
        CStoreFile file(std::move(impl), temp);
        if (rc != SQLITE_OK) {
            status = MapSqlite(rc);
            why = sqlite3_errstr(rc);
        } else {
            const std::string setup = std::string("BEGIN IMMEDIATE;") + kSchema +
                                      "PRAGMA application_id=" + std::to_string(kApplicationId) +
                                      ";PRAGMA user_version=" + std::to_string(kSchemaVersion) +
                                      ";COMMIT;";
            status = file.Exec(setup.c_str());
            if (status != ERROR_SUCCESS) {
                file.Exec("ROLLBACK");
                why = file.LastError();
            }
        }
    }
    if (status != ERROR_SUCCESS) {
        RemoveUnfinishedStore(temp);
        return status;
    }
    const int error = RenameNoReplace(temp, path);
    if (error != 0) {
        RemoveUnfinishedStore(temp);
        // Another process put its store there first: that one is opened.
        if (error == EEXIST) {
            return ERROR_SUCCESS;
        }
        why = "cannot create " + path + ": " + SystemReason(error);
        return ERROR_ACCESS_DENIED;
    }
    return ERROR_SUCCESS;
}

long CStoreFile::OpenImpl(const std::string& path, bool create, int waitMs,
                          std::unique_ptr<CStoreFile>& out, std::string* why) {
    out.reset();
    struct stat st;
    bool existed = ::stat(path.c_str(), &st) == 0;
    if (existed && !S_ISREG(st.st_mode)) {
        // A folder, a device or a FIFO is no store; opening a FIFO would wait
        // for a writer for good.
        return ERROR_BADDB;
    }
    if (!existed && !create) {
        return ERROR_FILE_NOT_FOUND;
    }
    if (!existed) {
        // The store is built whole beside its place, so no other process
        // ever finds a file there that is not yet a store.
        std::string reason;
        const long made = MakeStoreFile(path, reason);
        if (made != ERROR_SUCCESS) {
            if (why != nullptr) {
                *why = reason;
            }
            return made;
        }
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            return ERROR_BADDB;
        }
        existed = true;
    }
    auto impl = std::make_unique<Impl>();
    int flags = SQLITE_OPEN_NOMUTEX;
    flags |= MarkedReadOnly(st) ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
    int rc = sqlite3_open_v2(path.c_str(), &impl->db, flags, nullptr);
    if (rc != SQLITE_OK) {
        // A file the user may read but not write still serves the readers.
        sqlite3_close_v2(impl->db);
        impl->db = nullptr;
        rc = sqlite3_open_v2(path.c_str(), &impl->db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    }
    if (rc != SQLITE_OK) {
        return MapSqlite(rc);
    }
    sqlite3_busy_timeout(impl->db, waitMs > 0 ? waitMs : 0);
    sqlite3_extended_result_codes(impl->db, 0);
    std::unique_ptr<CStoreFile> file(new CStoreFile(std::move(impl), path));

    // Reading the header tells a store from a damaged file or another
    // program's database before anything is written.
    int appId = 0;
    int version = 0;
    {
        Statement st(file->m_pImpl->db, "PRAGMA application_id");
        if (st.Status() != SQLITE_OK) {
            return HeaderFailure(st.Status());
        }
        if (st.Step() != SQLITE_ROW) {
            return HeaderFailure(st.Status());
        }
        appId = static_cast<int>(st.Int(0));
    }
    {
        Statement st(file->m_pImpl->db, "PRAGMA user_version");
        if (st.Status() != SQLITE_OK) {
            return HeaderFailure(st.Status());
        }
        if (st.Step() != SQLITE_ROW) {
            return HeaderFailure(st.Status());
        }
        version = static_cast<int>(st.Int(0));
    }
    // An existing file, even an empty one, is a store only when it says so.
    if (appId != kApplicationId || version != kSchemaVersion) {
        return ERROR_BADDB;
    }
    if (file->Exec("PRAGMA foreign_keys=ON") != ERROR_SUCCESS) {
        return ERROR_BADDB;
    }
    out = std::move(file);
    return ERROR_SUCCESS;
}

long CStoreFile::Exec(const char* sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(m_pImpl->db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        m_strLastError = message != nullptr ? message : sqlite3_errstr(rc);
    }
    sqlite3_free(message);
    return MapSqlite(rc);
}

long CStoreFile::Fail(int sqliteCode) {
    m_strLastError = sqlite3_errmsg(m_pImpl->db);
    return MapSqlite(sqliteCode);
}

long CStoreFile::RowFound(int stepCode, long whenNone) {
    if (stepCode == SQLITE_ROW) {
        return ERROR_SUCCESS;
    }
    return stepCode == SQLITE_DONE ? whenNone : Fail(stepCode);
}

long CStoreFile::Begin() {
    if (m_nDepth++ > 0) {
        return ERROR_SUCCESS;
    }
    // IMMEDIATE takes the write lock now, so a busy store is waited for here
    // rather than failing halfway through.
    const long status = Exec("BEGIN IMMEDIATE");
    if (status != ERROR_SUCCESS) {
        m_nDepth = 0;
        return status;
    }
    // Writing into damaged pages could spread the damage over what is still
    // sound: such a store is left exactly as it is.
    if (!PagesSound()) {
        Exec("ROLLBACK");
        m_nDepth = 0;
        return ERROR_BADDB;
    }
    return ERROR_SUCCESS;
}

bool CStoreFile::PagesSound() {
    Statement st(m_pImpl->db, "PRAGMA quick_check(1)");
    if (st.Status() != SQLITE_OK || st.Step() != SQLITE_ROW) {
        Fail(st.Status());
        return false;
    }
    const std::string verdict = st.Text(0);
    if (verdict != "ok") {
        m_strLastError = verdict;
        return false;
    }
    return true;
}

long CStoreFile::Commit() {
    if (m_nDepth == 0 || --m_nDepth > 0) {
        return ERROR_SUCCESS;
    }
    const long status = Exec("COMMIT");
    if (status != ERROR_SUCCESS) {
        Exec("ROLLBACK");
    }
    return status;
}

void CStoreFile::Rollback() {
    if (m_nDepth > 0) {
        m_nDepth = 0;
        Exec("ROLLBACK");
    }
}

template <typename Fn>
long CStoreFile::InTransaction(Fn&& fn) {
    long status = Begin();
    if (status != ERROR_SUCCESS) {
        return status;
    }
    status = fn();
    if (status != ERROR_SUCCESS) {
        Rollback();
        return status;
    }
    return Commit();
}

long CStoreFile::FindKey(const std::string& path, std::int64_t* id, std::string* stored) {
    const std::string norm = NormaliseKeyPath(path);
    if (norm.empty()) {
        return ERROR_FILE_NOT_FOUND;
    }
    Statement st(m_pImpl->db, "SELECT id, path FROM keys WHERE path = ?1");
    if (st.Status() != SQLITE_OK) {
        return Fail(st.Status());
    }
    st.Bind(1, norm);
    if (const long found = RowFound(st.Step(), ERROR_FILE_NOT_FOUND); found != ERROR_SUCCESS) {
        return found;
    }
    if (id != nullptr) {
        *id = st.Int(0);
    }
    if (stored != nullptr) {
        *stored = st.Text(1);
    }
    return ERROR_SUCCESS;
}

long CStoreFile::CreateKey(const std::string& path, std::int64_t* id, bool* created) {
    const std::string norm = NormaliseKeyPath(path);
    if (norm.empty() || norm.find("\\\\") != std::string::npos) {
        return ERROR_INVALID_PARAMETER;  // no key, or a key with an empty name
    }
    return InTransaction([&]() -> long {
        bool isNew = false;
        // Every ancestor exists as a key of its own, as in the registry.
        std::size_t pos = 0;
        while (true) {
            pos = norm.find('\\', pos);
            const std::string prefix = pos == std::string::npos ? norm : norm.substr(0, pos);
            {
                Statement st(m_pImpl->db, "INSERT OR IGNORE INTO keys(path) VALUES(?1)");
                st.Bind(1, prefix);
                if (st.Step() != SQLITE_DONE) {
                    return Fail(st.Status());
                }
                isNew = sqlite3_changes(m_pImpl->db) > 0;
            }
            if (pos == std::string::npos) {
                break;
            }
            ++pos;
        }
        if (created != nullptr) {
            *created = isNew;
        }
        return FindKey(norm, id);
    });
}

long CStoreFile::ListKeys(std::vector<std::string>& paths) {
    paths.clear();
    Statement st(m_pImpl->db, "SELECT path FROM keys ORDER BY path COLLATE NOCASE, id");
    if (st.Status() != SQLITE_OK) {
        return Fail(st.Status());
    }
    int rc;
    while ((rc = st.Step()) == SQLITE_ROW) {
        paths.push_back(st.Text(0));
    }
    return rc == SQLITE_DONE ? ERROR_SUCCESS : Fail(rc);
}

long CStoreFile::ListValues(std::int64_t key, std::vector<Value>& values) {
    values.clear();
    Statement st(m_pImpl->db, "SELECT name, data FROM vals WHERE key_id = ?1 ORDER BY id");
    if (st.Status() != SQLITE_OK) {
        return Fail(st.Status());
    }
    st.Bind(1, key);
    int rc;
    while ((rc = st.Step()) == SQLITE_ROW) {
        values.push_back(Value{st.Text(0), st.Text(1)});
    }
    return rc == SQLITE_DONE ? ERROR_SUCCESS : Fail(rc);
}

long CStoreFile::GetValue(std::int64_t key, const std::string& name, std::string& data) {
    Statement st(m_pImpl->db, "SELECT data FROM vals WHERE key_id = ?1 AND name = ?2");
    if (st.Status() != SQLITE_OK) {
        return Fail(st.Status());
    }
    st.Bind(1, key);
    st.Bind(2, name);
    if (const long found = RowFound(st.Step(), ERROR_FILE_NOT_FOUND); found != ERROR_SUCCESS) {
        return found;
    }
    data = st.Text(0);
    return ERROR_SUCCESS;
}

long CStoreFile::ValueNameAt(std::int64_t key, std::size_t index, std::string& name) {
    Statement st(m_pImpl->db,
                 "SELECT name FROM vals WHERE key_id = ?1 ORDER BY id LIMIT 1 OFFSET ?2");
    if (st.Status() != SQLITE_OK) {
        return Fail(st.Status());
    }
    st.Bind(1, key);
    st.Bind(2, static_cast<std::int64_t>(index));
    if (const long found = RowFound(st.Step(), ERROR_NO_MORE_ITEMS); found != ERROR_SUCCESS) {
        return found;
    }
    name = st.Text(0);
    return ERROR_SUCCESS;
}

long CStoreFile::SetValue(std::int64_t key, const std::string& name, const std::string& data) {
    return InTransaction([&]() -> long {
        {
            // The key may have been deleted by another process since it was opened.
            Statement st(m_pImpl->db, "SELECT 1 FROM keys WHERE id = ?1");
            st.Bind(1, key);
            if (const long found = RowFound(st.Step(), ERROR_FILE_NOT_FOUND);
                found != ERROR_SUCCESS) {
                return found;
            }
        }
        Statement up(m_pImpl->db, "UPDATE vals SET data = ?3 WHERE key_id = ?1 AND name = ?2");
        up.Bind(1, key);
        up.Bind(2, name);
        up.BindBlob(3, data);
        if (up.Step() != SQLITE_DONE) {
            return Fail(up.Status());
        }
        if (sqlite3_changes(m_pImpl->db) > 0) {
            return ERROR_SUCCESS;
        }
        Statement ins(m_pImpl->db, "INSERT INTO vals(key_id, name, data) VALUES(?1, ?2, ?3)");
        ins.Bind(1, key);
        ins.Bind(2, name);
        ins.BindBlob(3, data);
        return ins.Step() == SQLITE_DONE ? ERROR_SUCCESS : Fail(ins.Status());
    });
}

long CStoreFile::DeleteValue(std::int64_t key, const std::string& name) {
    return InTransaction([&]() -> long {
        Statement st(m_pImpl->db, "DELETE FROM vals WHERE key_id = ?1 AND name = ?2");
        st.Bind(1, key);
        st.Bind(2, name);
        if (st.Step() != SQLITE_DONE) {
            return Fail(st.Status());
        }
        return sqlite3_changes(m_pImpl->db) > 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
}

long CStoreFile::RenameValue(std::int64_t key, const std::string& name,
                             const std::string& newName) {
    return InTransaction([&]() -> long {
        std::int64_t id = 0;
        {
            Statement st(m_pImpl->db, "SELECT id FROM vals WHERE key_id = ?1 AND name = ?2");
            st.Bind(1, key);
            st.Bind(2, name);
            if (const long found = RowFound(st.Step(), ERROR_FILE_NOT_FOUND);
                found != ERROR_SUCCESS) {
                return found;
            }
            id = st.Int(0);
        }
        {
            // Another value may carry the new name; the value itself may take
            // another letter case of its own name.
            Statement st(m_pImpl->db,
                         "SELECT 1 FROM vals WHERE key_id = ?1 AND name = ?2 AND id <> ?3");
            st.Bind(1, key);
            st.Bind(2, newName);
            st.Bind(3, id);
            const int rc = st.Step();
            if (rc == SQLITE_ROW) {
                return ERROR_ALREADY_EXISTS;
            }
            if (rc != SQLITE_DONE) {
                return Fail(rc);
            }
        }
        Statement up(m_pImpl->db, "UPDATE vals SET name = ?2 WHERE id = ?1");
        up.Bind(1, id);
        up.Bind(2, newName);
        return up.Step() == SQLITE_DONE ? ERROR_SUCCESS : Fail(up.Status());
    });
}

long CStoreFile::CheckIntegrity(std::vector<std::string>& problems, int maxProblems) {
    problems.clear();
    const std::string sql =
        "PRAGMA integrity_check(" + std::to_string(maxProblems > 0 ? maxProblems : 1) + ")";
    Statement st(m_pImpl->db, sql.c_str());
    if (st.Status() != SQLITE_OK) {
        return Fail(st.Status());
    }
    int rc;
    while ((rc = st.Step()) == SQLITE_ROW) {
        const std::string line = st.Text(0);
        if (line != "ok") {
            problems.push_back(line);
        }
    }
    if (rc != SQLITE_DONE) {
        // A page too damaged to check at all is a problem found, too.
        const long status = Fail(rc);
        if (status == ERROR_BADDB) {
            problems.push_back(m_strLastError);
            return ERROR_SUCCESS;
        }
        return status;
    }
    return ERROR_SUCCESS;
}

std::uint64_t StoreStatementCount() {
    return g_nStatements.load(std::memory_order_relaxed);
}
