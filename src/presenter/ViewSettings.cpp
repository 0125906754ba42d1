// SPDX-License-Identifier: GPL-3.0-or-later
// The settings, read once at start-up and written once at the end, and the
// loading of the temperament catalogue. A store that another program
// keeps busy, or that is damaged, is reported once; the program then goes on
// with the defaults and never writes over what it could not read. A damaged
// store may instead be set aside for a new one, and a store deleted while the
// program runs is made again at the end rather than losing the settings.
#include <sys/stat.h>

#include <cmath>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "presenter/KlavoraView.h"
#include "presenter/ViewIds.h"
#include "store/RegistryKey.h"
#include "store/StoreSetup.h"
#include "tuning/NumberFormat.h"
#include "tuning/TemperamentSet.h"

namespace {

// Whether a status of the store means it cannot be used at all in this run;
// a missing file, key or value is no failure of the store.
bool StoreUnusable(long status) {
    return status == ERROR_BUSY || status == ERROR_BADDB || status == ERROR_ACCESS_DENIED;
}

std::string StoreProblemText(long status, const std::string& path) {
    std::string why;
    std::string after =
        "Klavora will start with its default settings and will not change the store.";
    switch (status) {
        case ERROR_BUSY:
            why = "because another program is using the store:";
            break;
        case ERROR_BADDB:
            why = "because the store is damaged or is not a Klavora store:";
            after =
                "Klavora will start with its default settings and will leave the file as it is.";
            break;
        default:
            why = "because it is not allowed to read the store:";
    }
    return "Klavora was unable to read its settings and temperaments " + why + "\r\n" + path +
           "\r\n" + after;
}

const char* const kCaption = "Klavora";

std::string BaseName(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Why the store took no settings, for the message at the end.
std::string WriteFailureText(long status) {
    switch (status) {
        case ERROR_BUSY:
            return "another program is using the store";
        case ERROR_BADDB:
            return "the store is damaged or is not a Klavora store";
        case ERROR_FILE_NOT_FOUND:
            return "the store has no settings key";
        default:
            return "it is not allowed to write the store";
    }
}

}  // namespace

void CKlavoraView::TellStoreProblem() {
    const std::string path = StoreFilePath();
    std::string text = StoreProblemText(m_nStoreFailure, path);
    // Only a damaged file is offered the way out; a folder or a device in
    // the store's place is left to the user.
    if (m_nStoreFailure != ERROR_BADDB || !IsRegularFile(path)) {
        m_form.MessageBox(text, kCaption, MB_OK | MB_ICONINFORMATION);
        return;
    }
    text += "\r\n\r\nDo you want Klavora to move the file aside as " +
            BaseName(SetAsideStoreName(path, std::time(nullptr))) +
            " in the same folder and start with a new store holding its catalogue of "
            "temperaments? Nothing is deleted.";
    if (m_form.MessageBox(text, kCaption, MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
        RecoverStore();
    }
}

void CKlavoraView::RecoverStore() {
    const std::string path = StoreFilePath();
    const StoreRecoveryResult r = RecoverDamagedStore(path, std::time(nullptr));
    if (r.movedTo.empty()) {
        m_form.MessageBox("Klavora was unable to move the damaged store aside (" + r.error +
                              "):\r\n" + path +
                              "\r\nKlavora will start with its default settings and will "
                              "leave the file as it is.",
                          kCaption, MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (r.status == ERROR_SUCCESS) {
        // Start again from the new store, exactly as on a first start.
        while (m_form.ListGetCount() > 0) {
            m_form.ListDeleteString(m_form.ListGetCount() - 1);
        }
        m_strTemperament.clear();
        ReadStoredSettings();
    }
    if (r.status == ERROR_SUCCESS && m_nStoreFailure == ERROR_SUCCESS) {
        m_form.MessageBox("The damaged store was moved to:\r\n" + r.movedTo +
                              "\r\nKlavora now uses a new store holding its catalogue of "
                              "temperaments:\r\n" +
                              path,
                          kCaption, MB_OK | MB_ICONINFORMATION);
        return;
    }
    // The new store could not be made or read: nothing is written to it.
    const long failure = r.status != ERROR_SUCCESS ? r.status : m_nStoreFailure;
    m_nStoreFailure = ERROR_BADDB;
    m_form.MessageBox("The damaged store was moved to:\r\n" + r.movedTo +
                          "\r\nbut Klavora was unable to make a new store (" +
                          (r.error.empty() ? WriteFailureText(failure) : r.error) +
                          ").\r\nKlavora will start with its default settings.",
                      kCaption, MB_OK | MB_ICONINFORMATION);
}

void CKlavoraView::NoteStoreStatus(long status) const {
    if (m_nStoreFailure == ERROR_SUCCESS && StoreUnusable(status)) {
        m_nStoreFailure = status;
    }
}

std::string CKlavoraView::ReadSetting(const std::string& name) const {
    // Once the store has failed, the remaining settings take their defaults
    // at once instead of waiting on it again.
    if (m_nStoreFailure != ERROR_SUCCESS) {
        return std::string();
    }
    CRegistryKey reg;
    long status = ERROR_SUCCESS;
    HKEY key = reg.Open(kSettingsKeyPath, status);
    if (key == nullptr) {
        NoteStoreStatus(status);
        return std::string();
    }
    std::string text;
    status = reg.GetString(key, name, text);
    reg.Close(key);
    NoteStoreStatus(status);
    return status == ERROR_SUCCESS ? text : std::string();
}

void CKlavoraView::ReadIntSetting(const std::string& name, int& value, int def) const {
    const std::string text = ReadSetting(name);
    value = text.empty() ? def : ParseAtoi(text.c_str());
}

void CKlavoraView::ReadDoubleSetting(const std::string& name, double& value, double def) const {
    const std::string text = ReadSetting(name);
    value = text.empty() ? def : ParseAtof(text.c_str());
}

long CKlavoraView::WriteSetting(const std::string& name, const std::string& text) const {
    if (m_nStoreFailure != ERROR_SUCCESS) {
        return m_nStoreFailure;
    }
    CRegistryKey reg;
    long status = ERROR_SUCCESS;
    HKEY key = reg.Open(kSettingsKeyPath, status);
    if (key != nullptr) {
        status = reg.SetString(key, name, text);
        reg.Close(key);
    }
    return status;
}

long CKlavoraView::WriteIntSetting(const std::string& name, int value) const {
    return WriteSetting(name, std::to_string(value));
}

long CKlavoraView::WriteDoubleSetting(const std::string& name, double value) const {
    return WriteSetting(name, FormatStreamDouble(value));
}

void CKlavoraView::LoadSettings() {
    ReadStoredSettings();
    if (m_nStoreFailure != ERROR_SUCCESS) {
        TellStoreProblem();
    }
}

void CKlavoraView::ReadStoredSettings() {
    m_nStoreFailure = ERROR_SUCCESS;
    m_storeRead = IdentifyStoreFile(StoreFilePath());
    m_pTemperaments = std::make_unique<CTemperamentSet>();
    LoadTemperaments();
    const std::string saved = ReadSetting("Temperament");
    if (!saved.empty()) {
        int index = m_form.ListFindStringExact(saved);
        if (index < 0) {
            index = 0;
        }
        if (m_form.ListSetCurSel(index)) {
            m_strTemperament = m_form.ListGetText(index);
        }
    } else if (m_form.ListGetCurSel() >= 0) {
        m_strTemperament = m_form.ListGetText(m_form.ListGetCurSel());
    }
    ReadIntSetting("View", m_nView, 1);
    ReadDoubleSetting("StandardA", m_dStandardA, 415.0);
    ReadIntSetting("SamplingRate", m_nSamplingRate, 44100);
    ReadIntSetting("BufferSize", m_nBufferSize, 8192);
    ReadIntSetting("NumBuffers", m_nNumBuffers, 5);
    ReadIntSetting("RecordingDevice", m_nRecordingDevice, -1);
    ReadIntSetting("PlaybackDevice", m_nPlaybackDevice, -1);
    // Exact Temperaments, off unless the store says otherwise, read as atoi
    // reads the others.
    const std::string exact = ReadSetting("ExactTemperaments");
    m_bExactTemperamentsStored = !exact.empty();
    m_bExactTemperaments = m_bExactTemperamentsStored && ParseAtoi(exact.c_str()) != 0;
    m_pTemperaments->SetArithmetic(Arithmetic());
    // The clock calibration, absent until one was made; a value that no
    // calibration could give is taken as none.
    const std::string clock = ReadSetting(kClockSetting);
    m_bClockStored = !clock.empty();
    m_dClockPpm = m_bClockStored ? ParseAtof(clock.c_str()) : 0.0;
    if (!(std::abs(m_dClockPpm) <= kMostClockPpm)) {
        m_dClockPpm = 0.0;
    }
}

long CKlavoraView::SetClockPpm(double ppm) {
    if (!(std::abs(ppm) <= kMostClockPpm)) {
        return ERROR_INVALID_PARAMETER;
    }
    m_dClockPpm = ppm;
    m_bClockStored = true;
    UpdateVoices();
    return WriteSetting(kClockSetting, FormatFixed(ppm, 3));
}

long CKlavoraView::WriteAllSettings() const {
    std::vector<std::pair<std::string, std::string>> values = {
        {"Temperament", m_strTemperament},
        {"View", std::to_string(m_nView)},
        {"StandardA", FormatStreamDouble(m_dStandardA)},
        {"SamplingRate", std::to_string(m_nSamplingRate)},
        {"NumBuffers", std::to_string(m_nNumBuffers)},
        {"BufferSize", std::to_string(m_nBufferSize)},
        {"PlaybackDevice", std::to_string(m_nPlaybackDevice)},
        {"RecordingDevice", std::to_string(m_nRecordingDevice)},
    };
    // A store that never had Exact Temperaments keeps exactly the eight
    // values until the setting is first switched on.
    if (m_bExactTemperaments || m_bExactTemperamentsStored) {
        values.emplace_back("ExactTemperaments", m_bExactTemperaments ? "1" : "0");
    }
    if (m_bClockStored) {
        values.emplace_back(kClockSetting, FormatFixed(m_dClockPpm, 3));
    }
    CRegistryKey reg;
    long status = ERROR_SUCCESS;
    HKEY key = reg.Open(kSettingsKeyPath, status);
    if (key != nullptr) {
        status = reg.SetStrings(key, values);
        reg.Close(key);
    }
    return status;
}

void CKlavoraView::SaveSettings() {
    // Settings that could not be read from the store are never written over
    // it: the store keeps what it holds.
    if (m_nStoreFailure != ERROR_SUCCESS) {
        return;
    }
    // The store read at start was deleted or replaced meanwhile: it is made
    // again as on a first start (an existing store keeps what it holds), so
    // that the settings are not lost without a word.
    const std::string path = StoreFilePath();
    const bool gone = m_storeRead.exists && IdentifyStoreFile(path) != m_storeRead;
    std::string why;
    long status = ERROR_SUCCESS;
    if (gone) {
        const StoreSetupResult made = InitializeStore(path);
        status = made.status;
        why = made.error;
    }
    // The settings go in one transaction, so that two copies of the program
    // closing at once leave one copy's settings, never a mixture; a store
    // that is busy for a moment gets one more try.
    if (status == ERROR_SUCCESS) {
        status = WriteAllSettings();
        if (status == ERROR_BUSY) {
            status = WriteAllSettings();
        }
        why = WriteFailureText(status);
    }
    if (gone && status != ERROR_SUCCESS) {
        m_form.MessageBox(
            "Klavora was unable to save its settings: its store was deleted or "
            "replaced while Klavora was running, and a new one could not be "
            "made:\r\n" +
                path + "\r\n(" + why + ")",
            kCaption, MB_OK | MB_ICONINFORMATION);
    }
}

void CKlavoraView::LoadTemperaments() {
    CRegistryKey reg;
    long status = ERROR_SUCCESS;
    HKEY key = reg.Open(kTemperamentsKeyPath, status);
    if (key == nullptr) {
        NoteStoreStatus(status);
        m_bTemperamentsReady = false;
        return;
    }
    // One read of the whole key and one fill of the list, however many
    // temperaments there are.
    std::vector<std::pair<std::string, std::string>> values;
    status = reg.EnumStrings(key, values);
    reg.Close(key);
    if (status != ERROR_SUCCESS) {
        NoteStoreStatus(status);
        m_bTemperamentsReady = false;
        return;
    }
    std::vector<std::string> names;
    names.reserve(values.size());
    for (const auto& value : values) {
        if (m_pTemperaments->AddFromText(value.second, value.first)) {
            names.push_back(value.first);
        }
    }
    m_form.ListAddStrings(names);
    m_form.ListSetCurSel(0);
    m_bTemperamentsReady = true;
}
