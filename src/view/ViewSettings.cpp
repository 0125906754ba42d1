// The eight settings, read once at start-up and written once at the end, and
// the loading of the temperament catalogue.
#include <string>

#include "temper/NumberFormat.h"
#include "temper/RegistryKey.h"
#include "temper/StoreSetup.h"
#include "temper/TemperamentSet.h"
#include "view/KlavoraView.h"
#include "view/ViewIds.h"

std::string CKlavoraView::ReadSetting(const std::string& name) const {
    CRegistryKey reg;
    HKEY key = reg.Open(kSettingsKeyPath);
    if (key == nullptr) {
        return std::string();
    }
    std::string text;
    const long status = reg.GetString(key, name, text);
    reg.Close(key);
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

void CKlavoraView::WriteSetting(const std::string& name, const std::string& text) const {
    CRegistryKey reg;
    HKEY key = reg.Open(kSettingsKeyPath);
    if (key != nullptr) {
        reg.SetString(key, name, text);
        reg.Close(key);
    }
}

void CKlavoraView::WriteIntSetting(const std::string& name, int value) const {
    WriteSetting(name, std::to_string(value));
}

void CKlavoraView::WriteDoubleSetting(const std::string& name, double value) const {
    WriteSetting(name, FormatStreamDouble(value));
}

void CKlavoraView::LoadSettings() {
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
}

void CKlavoraView::SaveSettings() {
    WriteSetting("Temperament", m_strTemperament);
    WriteIntSetting("View", m_nView);
    WriteDoubleSetting("StandardA", m_dStandardA);
    WriteIntSetting("SamplingRate", m_nSamplingRate);
    WriteIntSetting("NumBuffers", m_nNumBuffers);
    WriteIntSetting("BufferSize", m_nBufferSize);
    WriteIntSetting("PlaybackDevice", m_nPlaybackDevice);
    WriteIntSetting("RecordingDevice", m_nRecordingDevice);
}

void CKlavoraView::LoadTemperaments() {
    CRegistryKey reg;
    HKEY key = reg.Open(kTemperamentsKeyPath);
    if (key == nullptr) {
        m_bTemperamentsReady = false;
        return;
    }
    int index = 0;
    std::string name;
    while (int next = reg.EnumValueName(key, index, name)) {
        std::string text;
        reg.GetString(key, name, text);
        if (m_pTemperaments->AddFromText(text, name)) {
            m_form.ListAddString(name);
        }
        index = next;
    }
    reg.Close(key);
    m_form.ListSetCurSel(0);
    m_bTemperamentsReady = true;
}
