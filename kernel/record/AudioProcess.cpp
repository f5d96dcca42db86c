#include "AudioProcess.h"

#include <vector>

#include "ZxModConfig/ZxModConfig.h"

namespace {

const char kSection[] = "AudioSetup";
const char kKeyDev[] = "AudioInputDev";
const char kKeyVol[] = "AudioInputVol";

}  // namespace

CAudioProcess::CAudioProcess() : m_sink(nullptr), m_capturing(false), m_currentDev(0), m_volume(100), m_inited(false) {}

CAudioProcess::~CAudioProcess() {
    if (m_inited) UnInit();
}

bool CAudioProcess::Init(IAudioProcessEvent* sink) {
    m_sink = sink;
    if (!sink) return false;
    m_oCapture.SetEventSink(this);
    RefreshInputDevs();
    m_volume = 100;
    AfxGetConfigManager()->GetInt(kSection, kKeyVol, m_volume);
    m_oCapture.SetVolume(m_volume / 100.0);
    AfxGetDataManager()->AddData(ZX_MOD_AUDIOPROCESS, this);
    m_inited = true;
    return true;
}

void CAudioProcess::UnInit() {
    // A capture still running would call a recorder that is going away.
    if (m_capturing) StopAudioCapture();
    m_devices.clear();
    if (m_inited) AfxGetDataManager()->RemoveData(ZX_MOD_AUDIOPROCESS);
    m_inited = false;
}

void CAudioProcess::RefreshInputDevs() {
    m_devices.clear();
    const int count = GetAudioDeviceCount();
    for (int i = 0; i < count; ++i) {
        std::vector<char> name(1024, 0);
        GetAudioDeviceName(i, name.data(), 1024);
        m_devices[i] = AudioInputDev{i, std::string(name.data())};
    }
    std::string saved;
    AfxGetConfigManager()->GetString(kSection, kKeyDev, saved);
    const int found = FindInputDevByName(saved);
    if (found != -1) m_currentDev = found;
}

const AudioInputDevMap* CAudioProcess::GetInputDevList(const AudioInputDevMap** out) {
    if (out) *out = &m_devices;
    return &m_devices;
}

std::string CAudioProcess::GetInputDevName(int index) {
    AudioInputDevMap::const_iterator it = m_devices.find(index);
    return it == m_devices.end() ? std::string() : it->second.name;
}

int CAudioProcess::FindInputDevByName(const std::string& name) {
    for (AudioInputDevMap::const_iterator it = m_devices.begin(); it != m_devices.end(); ++it)
        if (it->second.name == name) return it->first;
    return -1;
}

void CAudioProcess::SetInputDev(int index) {
    m_currentDev = index;
    AfxGetConfigManager()->SetString(kSection, kKeyDev, GetInputDevName(index).c_str(), 0);
    if (m_capturing) {
        StopAudioCapture();
        StartAudioCapture(kRestartRate, kRestartChannels, kRestartBlockBytes);
    }
}

void CAudioProcess::SetInputVol(int percent) {
    m_volume = percent;
    m_oCapture.SetVolume(percent / 100.0);
    AfxGetConfigManager()->SetInt(kSection, kKeyVol, percent);
}

bool CAudioProcess::StartAudioCapture(int samplesPerSecond, int channels, int blockBytes) {
    if (m_oCapture.Open(m_currentDev, samplesPerSecond, channels, blockBytes) && m_oCapture.Start() != -1) {
        m_capturing = true;
        return true;
    }
    m_oCapture.Close();
    return false;
}

void CAudioProcess::StopAudioCapture() {
    m_oCapture.Stop();
    m_oCapture.Close();
    m_capturing = false;
}

void CAudioProcess::OnAudioCaptured(double sampleTime, BYTE* buffer, int length) {
    IAudioProcessEvent* sink = m_sink;
    if (sink) sink->OnAudioProcess(sampleTime, buffer, length);
}
