#include "SlideEngine.h"

#include <unordered_set>

#include <cstdlib>
#include <ctime>

#include "ThreadStop.h"
#include "ZxLib/ZxLib.h"

namespace {

bool FileExists(const std::string& path) { return File::IsExistFile(path); }

void DeleteThumbnail(const std::string& thumbPath) {
    if (!thumbPath.empty()) File::RemoveFile(thumbPath);
}

}  // namespace

CSlideEngine::CSlideEngine()
    : m_out(nullptr),
      m_clock(&m_systemClock),
      m_nextListId(kFirstListId),
      m_nextUserId(kFirstUserId),
      m_stopLoaders(false),
      m_playState(2),
      m_playMode(1),
      m_stretch(false),
      m_background(0xFF000000u),
      m_requestedId(-1),
      m_pendingWidth(640),
      m_pendingHeight(480),
      m_intervalMs(50),
      m_hStopEvent(nullptr),
      m_hResizeEvent(nullptr),
      m_hPlayEvent(nullptr),
      m_hThread(nullptr),
      m_running(0),
      m_resetSchedule(true),
      m_width(640),
      m_height(480),
      m_switch(nullptr),
      m_stepState(kStepEmpty),
      m_stepCount(0),
      m_shownId(-1),
      m_transitions(0) {}

CSlideEngine::~CSlideEngine() { Shutdown(); }

bool CSlideEngine::Start(int framesPerSecond, int width, int height, ISlideMediaOut* out) {
    if (m_hThread || framesPerSecond <= 0 || width <= 0 || height <= 0) return false;
    m_out = out;
    m_intervalMs = static_cast<DWORD>(1000 / framesPerSecond);
    m_width = width;
    m_height = height;
    {
        std::lock_guard<std::mutex> g(m_sizeLock);
        m_pendingWidth = width;
        m_pendingHeight = height;
    }
    // The output frame is taken when the show first draws (Output()).
    std::vector<BYTE>().swap(m_output);
    m_switches.reset(new CSlideSwitchPool());
    m_stopLoaders = false;
    m_hStopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_hResizeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    m_hPlayEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // Counted as running from here, so a shutdown that comes before the
    // thread's first instruction still waits for it.
    m_running = 1;
    if (m_hStopEvent && m_hResizeEvent && m_hPlayEvent)
        m_hThread = CreateThread(nullptr, 0, RenderThreadProc, this, 0, nullptr);
    if (!m_hThread) {
        m_running = 0;
        Shutdown();
        return false;
    }
    return true;
}

void CSlideEngine::StopLoaders() {
    m_stopLoaders = true;
    std::vector<std::thread> loaders;
    {
        std::lock_guard<std::mutex> g(m_loaderLock);
        loaders.swap(m_loaders);
    }
    for (std::thread& t : loaders)
        if (t.joinable()) t.join();
}

void CSlideEngine::Shutdown() {
    if (m_hThread) {
        SetEvent(m_hStopEvent);
        StopThreadBounded(m_hThread, m_running, 25, 20);
    }
    StopLoaders();
    HANDLE* events[] = {&m_hStopEvent, &m_hResizeEvent, &m_hPlayEvent};
    for (HANDLE* e : events) {
        if (*e) CloseHandle(*e);
        *e = nullptr;
    }
    m_switch = nullptr;
    m_switches.reset();
    m_current.reset();
    m_next.reset();
    m_stepState = kStepEmpty;
    m_shownId = -1;
    m_playState = 2;
    RemoveAll();
}

// ---------------------------------------------------------------- the list

void CSlideEngine::AddPaths(const std::vector<std::string>& paths, bool fromList) {
    if (paths.empty()) return;
    std::shared_ptr<LoadRequest> request = std::make_shared<LoadRequest>();
    request->paths = paths;
    request->fromList = fromList;
    {
        std::lock_guard<std::mutex> g(m_listLock);
        m_requests.push_back(request);
    }
    std::lock_guard<std::mutex> g(m_loaderLock);
    m_loaders.emplace_back(&CSlideEngine::LoaderThread, this, request);
}

void CSlideEngine::LoaderThread(std::shared_ptr<LoadRequest> request) {
    for (;;) {
        std::string path;
        {
            std::lock_guard<std::mutex> g(m_listLock);
            if (m_stopLoaders || request->cancelled || request->next >= request->paths.size()) break;
            path = request->paths[request->next];
            bool listed = m_making.count(path) != 0;
            for (const auto& kv : m_list) listed = listed || kv.second.path == path;
            if (listed) {
                // Already in the list, or another loader is on it (the saved
                // list read while the same picture is added): skipped
                // without a report. Two loaders on one picture would write
                // one thumbnail file at once, and the one that lost would
                // report a picture that did load as failed.
                ++request->next;
                continue;
            }
            m_making.insert(path);
        }
        std::string thumb;
        bool made = MakeSlideThumbnail(path, thumb);
        SlideItemReport report;
        report.path = path;
        report.fromList = request->fromList;
        bool skip = false, cancelled = false;
        {
            std::lock_guard<std::mutex> g(m_listLock);
            m_making.erase(path);
            cancelled = request->cancelled;
            if (!cancelled) ++request->next;
            if (!cancelled && made) {
                bool listed = false;
                for (const auto& kv : m_list) listed = listed || kv.second.path == path;
                if (listed) {
                    // Another loader took the same path meanwhile.
                    skip = true;
                } else {
                    SlideEntry entry;
                    entry.id = request->fromList ? m_nextListId++ : m_nextUserId--;
                    entry.path = path;
                    entry.thumbPath = thumb;
                    m_list[entry.id] = entry;
                    report.id = entry.id;
                    report.loaded = true;
                    report.thumbPath = thumb;
                }
            }
        }
        if (cancelled) {
            // RemoveAll ran meanwhile: the picture is not taken.
            if (made) DeleteThumbnail(thumb);
            break;
        }
        if (!skip && m_out) m_out->OnItemLoaded(report);
    }
    std::lock_guard<std::mutex> g(m_listLock);
    for (size_t i = 0; i < m_requests.size(); ++i) {
        if (m_requests[i] == request) {
            // Finished (or cancelled): its remaining paths leave the file
            // unless the loaders were stopped for shutdown.
            if (!m_stopLoaders || request->cancelled) m_requests.erase(m_requests.begin() + static_cast<std::ptrdiff_t>(i));
            break;
        }
    }
}

void CSlideEngine::Remove(const std::vector<int>& ids) {
    std::vector<std::string> thumbs;
    {
        std::lock_guard<std::mutex> g(m_listLock);
        for (int id : ids) {
            auto it = m_list.find(id);
            if (it == m_list.end()) continue;
            thumbs.push_back(it->second.thumbPath);
            m_list.erase(it);
        }
    }
    for (const std::string& t : thumbs) DeleteThumbnail(t);
}

void CSlideEngine::RemoveAll() {
    std::map<int, SlideEntry> all;
    {
        std::lock_guard<std::mutex> g(m_listLock);
        all.swap(m_list);
        for (auto& r : m_requests) r->cancelled = true;
        m_requests.clear();
    }
    for (const auto& kv : all) DeleteThumbnail(kv.second.thumbPath);
}

std::string CSlideEngine::GetItemPath(int id) {
    std::lock_guard<std::mutex> g(m_listLock);
    auto it = m_list.find(id);
    return it == m_list.end() ? std::string() : it->second.path;
}

std::vector<SlideEntry> CSlideEngine::GetItems() {
    std::lock_guard<std::mutex> g(m_listLock);
    std::vector<SlideEntry> items;
    for (const auto& kv : m_list) items.push_back(kv.second);
    return items;
}

std::vector<std::string> CSlideEngine::SavePaths() {
    std::lock_guard<std::mutex> g(m_listLock);
    std::vector<std::string> out;
    // A path still waiting in a request may also be listed or wait in
    // another one (the saved list read while an addition of the same
    // picture is pending); its loader would skip it, so it is written once.
    std::unordered_set<std::string> seen;
    auto put = [&](const std::string& path) {
        if (seen.insert(path).second) out.push_back(path);
    };
    // Pending user additions: the newest request first, each one's last
    // path first, as their falling ids will sort them.
    for (auto r = m_requests.rbegin(); r != m_requests.rend(); ++r) {
        if ((*r)->fromList || (*r)->cancelled) continue;
        for (size_t i = (*r)->paths.size(); i-- > (*r)->next;) put((*r)->paths[i]);
    }
    for (const auto& kv : m_list) put(kv.second.path);
    for (const auto& r : m_requests) {
        if (!r->fromList || r->cancelled) continue;
        for (size_t i = r->next; i < r->paths.size(); ++i) put(r->paths[i]);
    }
    return out;
}

bool CSlideEngine::IsListed(int id) {
    std::lock_guard<std::mutex> g(m_listLock);
    return m_list.count(id) != 0;
}

void CSlideEngine::Drop(int id, bool notify) {
    std::vector<SlideEntry> removed;
    {
        std::lock_guard<std::mutex> g(m_listLock);
        auto it = m_list.find(id);
        if (it == m_list.end()) return;
        removed.push_back(it->second);
        m_list.erase(it);
    }
    DeleteThumbnail(removed.front().thumbPath);
    if (notify) NotifyRemoved(removed);
}

void CSlideEngine::NotifyRemoved(const std::vector<SlideEntry>& removed) {
    if (!m_out) return;
    for (const SlideEntry& e : removed) m_out->OnItemRemoved(e.id, e.path);
}

// --------------------------------------------------------------- controls

void CSlideEngine::Play(int id) {
    m_requestedId = id;
    if (m_playState != 0) m_resetSchedule = true;
    m_playState = 0;
    if (m_hPlayEvent) SetEvent(m_hPlayEvent);
}

void CSlideEngine::Pause() {
    m_playState = 1;
    if (m_hPlayEvent) ResetEvent(m_hPlayEvent);
}

void CSlideEngine::Stop() {
    m_playState = 2;
    if (m_hPlayEvent) ResetEvent(m_hPlayEvent);
}

void CSlideEngine::SetRenderSize(int width, int height) {
    if (width <= 0 || height <= 0) return;
    std::lock_guard<std::mutex> g(m_sizeLock);
    if (width == m_pendingWidth && height == m_pendingHeight) return;
    m_pendingWidth = width;
    m_pendingHeight = height;
    if (m_hResizeEvent) SetEvent(m_hResizeEvent);
}

// ---------------------------------------------------------- render thread

DWORD WINAPI CSlideEngine::RenderThreadProc(void* self) {
    static_cast<CSlideEngine*>(self)->RenderThread();
    return 0;
}

void CSlideEngine::RenderThread() {
    HANDLE events[3] = {m_hStopEvent, m_hResizeEvent, m_hPlayEvent};
    DWORD scheduled = m_clock.load()->Now();
    for (;;) {
        // Asleep until something happens: the play event stays set while
        // the show plays, so a stopped or paused show costs nothing (a
        // short polling wait here woke the thread 200 times a second).
        DWORD r = WaitForMultipleObjects(3, events, FALSE, INFINITE);
        if (r == WAIT_OBJECT_0) break;
        if (r == WAIT_FAILED) {
            // The events are gone: nothing more can be waited for (and an
            // endless wait must not turn into a busy loop).
            break;
        }
        if (r == WAIT_OBJECT_0 + 1) {
            Resize();
            continue;
        }
        if (r != WAIT_OBJECT_0 + 2) continue;
        ISlideClock* clock = m_clock;
        if (m_playState != 0) {
            // Paused between the wait and here.
            clock->Wait(5);
            continue;
        }
        DWORD now = clock->Now();
        // Coming back from a pause or a stop the show starts at once rather
        // than catching up on the frames it did not draw meanwhile.
        if (m_resetSchedule.exchange(false)) scheduled = now - m_intervalMs;
        if (now - scheduled >= m_intervalMs) {
            scheduled += m_intervalMs;
            RenderStep();
            ++m_stepCount;
        } else {
            // Until the next step is due, not in short polls.
            const DWORD rest = scheduled + m_intervalMs - now;
            clock->Wait(rest < m_intervalMs ? rest : m_intervalMs);
        }
    }
    --m_running;
}

BYTE* CSlideEngine::Output() {
    const size_t bytes = static_cast<size_t>(VideoFrameStride(m_width, 24)) * m_height;
    if (m_output.size() != bytes) m_output.assign(bytes, 0);
    return m_output.data();
}

void CSlideEngine::Resize() {
    int width, height;
    {
        std::lock_guard<std::mutex> g(m_sizeLock);
        width = m_pendingWidth;
        height = m_pendingHeight;
    }
    if (width == m_width && height == m_height) return;
    m_width = width;
    m_height = height;
    std::vector<BYTE>().swap(m_output);
    // The pictures shown are composed again at the new size; one that no
    // longer decodes leaves the list.
    std::unique_ptr<CSlidePicture>* pictures[] = {&m_current, &m_next};
    for (std::unique_ptr<CSlidePicture>* p : pictures) {
        if (!*p) continue;
        SlideEntry entry;
        entry.id = (*p)->id;
        entry.path = (*p)->path;
        entry.thumbPath = (*p)->thumbPath;
        int shown = (*p)->shownIndex;
        DWORD tick = (*p)->shownTick;
        *p = Compose(entry);
        if (*p && shown >= 0 && shown < static_cast<int>((*p)->frames.size())) {
            (*p)->shownIndex = shown;
            (*p)->shownTick = tick;
            DrawSlideBitmap((*p)->frames[static_cast<size_t>(shown)].bitmap.get(), Output(), m_width, m_height);
        }
    }
    if (!m_current && m_next) {
        MakeCurrent(std::move(m_next));
    } else if (!m_current) {
        m_stepState = kStepEmpty;
        m_shownId = -1;
    } else if (!m_next && m_stepState == kStepTransition) {
        m_switch = nullptr;
        m_stepState = m_current->IsStill() ? kStepStill : kStepAnimation;
    }
}

bool CSlideEngine::ChooseNext(const CSlidePicture* current, SlideEntry& next, bool& transition) {
    std::vector<SlideEntry> removed;
    bool found = false;
    {
        std::lock_guard<std::mutex> g(m_listLock);
        transition = current && m_list.count(current->id) != 0 && FileExists(current->path);
        const int mode = m_playMode;
        while (!m_list.empty()) {
            std::map<int, SlideEntry>::iterator it;
            if (mode == 2) {
                srand(static_cast<unsigned>(time(nullptr)));
                it = m_list.begin();
                std::advance(it, rand() % static_cast<int>(m_list.size()));
            } else {
                it = current ? m_list.upper_bound(current->id) : m_list.begin();
                if (it == m_list.end()) {
                    if (mode != 1) break;  // mode 0: nothing after the last
                    it = m_list.begin();
                }
            }
            if (!FileExists(it->second.path)) {
                removed.push_back(it->second);
                m_list.erase(it);
                continue;
            }
            next = it->second;
            found = true;
            break;
        }
    }
    for (const SlideEntry& e : removed) DeleteThumbnail(e.thumbPath);
    NotifyRemoved(removed);
    return found;
}

std::unique_ptr<CSlidePicture> CSlideEngine::Compose(const SlideEntry& entry) {
    std::unique_ptr<CSlidePicture> picture(new CSlidePicture());
    if (!picture->Compose(entry.path, m_width, m_height, m_stretch, m_background)) {
        Drop(entry.id, true);
        return nullptr;
    }
    picture->id = entry.id;
    picture->path = entry.path;
    picture->thumbPath = entry.thumbPath;
    return picture;
}

std::unique_ptr<CSlidePicture> CSlideEngine::ComposeNext(const CSlidePicture* current, bool& transition,
                                                         bool& same) {
    same = false;
    for (;;) {
        SlideEntry entry;
        if (!ChooseNext(current, entry, transition)) return nullptr;
        if (current && entry.id == current->id) {
            same = true;
            return nullptr;
        }
        // A picture that cannot be composed has left the list; choose again.
        std::unique_ptr<CSlidePicture> picture = Compose(entry);
        if (picture) return picture;
    }
}

bool CSlideEngine::DrawPicture(CSlidePicture& picture) {
    const DWORD now = m_clock.load()->Now();
    if (picture.frames.empty()) return true;
    if (picture.shownIndex < 0) {
        picture.shownIndex = 0;
        picture.shownTick = now;
        DrawSlideBitmap(picture.frames[0].bitmap.get(), Output(), m_width, m_height);
        return picture.IsStill();
    }
    if (picture.IsStill()) return true;
    const size_t shown = static_cast<size_t>(picture.shownIndex);
    if (now - picture.shownTick < picture.frames[shown].delayMs) return false;
    if (shown + 1 >= picture.frames.size()) return true;
    ++picture.shownIndex;
    picture.shownTick = now;
    DrawSlideBitmap(picture.frames[shown + 1].bitmap.get(), Output(), m_width, m_height);
    return false;
}

void CSlideEngine::MakeCurrent(std::unique_ptr<CSlidePicture> picture) {
    m_current = std::move(picture);
    m_next.reset();
    m_switch = nullptr;
    if (!m_current) {
        m_stepState = kStepEmpty;
        m_shownId = -1;
        return;
    }
    m_stepState = m_current->IsStill() ? kStepStill : kStepAnimation;
    m_shownId = m_current->id;
    m_current->shownIndex = -1;
    DrawPicture(*m_current);
}

void CSlideEngine::RestartCurrent() {
    m_current->shownIndex = -1;
    DrawPicture(*m_current);
}

void CSlideEngine::TransitionStep() {
    const bool currentListed = IsListed(m_current->id);
    const bool nextListed = IsListed(m_next->id);
    if (!currentListed || !nextListed) {
        // A picture left the list during the transition: the other one (or
        // a newly chosen one) is shown without the effect.
        if (nextListed) {
            MakeCurrent(std::move(m_next));
        } else if (currentListed) {
            m_next.reset();
            m_switch = nullptr;
            m_stepState = m_current->IsStill() ? kStepStill : kStepAnimation;
            RestartCurrent();
        } else {
            bool transition = false, same = false;
            MakeCurrent(ComposeNext(nullptr, transition, same));
        }
        return;
    }
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = m_width;
    header.biHeight = m_height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    BYTE* output = Output();
    header.biSizeImage = static_cast<DWORD>(m_output.size());
    int result = m_switch ? m_switch->Step(output, header, m_current->Last(), m_next->First())
                          : CSlideSwitchBase::kResultNoPicture;
    if (result != CSlideSwitchBase::kResultRunning) MakeCurrent(std::move(m_next));
}

void CSlideEngine::ShowRequested(int id) {
    SlideEntry entry;
    bool found = false;
    {
        std::lock_guard<std::mutex> g(m_listLock);
        auto it = m_list.find(id);
        if (it != m_list.end()) {
            entry = it->second;
            found = true;
        }
    }
    // Not listed, or not composable: the show starts over from its first
    // choice at the next step.
    MakeCurrent(found ? Compose(entry) : nullptr);
}

void CSlideEngine::RenderStep() {
    const bool requested = m_requestedId != -1;
    const int state = m_stepState;
    if (state == kStepEmpty) {
        if (!requested) {
            bool transition = false, same = false;
            MakeCurrent(ComposeNext(nullptr, transition, same));
        }
    } else if (state == kStepTransition) {
        TransitionStep();
    } else {
        bool done = state == kStepStill ? m_clock.load()->Now() - m_current->shownTick >= kStillMs
                                        : DrawPicture(*m_current);
        if (done) {
            bool transition = false, same = false;
            std::unique_ptr<CSlidePicture> next = ComposeNext(m_current.get(), transition, same);
            if (same) {
                // The only choice is the picture on screen: it starts again,
                // without a transition.
                RestartCurrent();
            } else if (next && transition) {
                m_next = std::move(next);
                m_switch = m_switches->Pick();
                m_stepState = kStepTransition;
                ++m_transitions;
                TransitionStep();
            } else if (next) {
                MakeCurrent(std::move(next));
            } else if (IsListed(m_current->id) && FileExists(m_current->path)) {
                // Nothing follows (the last picture in mode 0): it stays.
                RestartCurrent();
            } else {
                // The picture on screen has gone; it leaves the list now.
                Drop(m_current->id, true);
                MakeCurrent(nullptr);
            }
        }
    }
    if (requested) {
        int id = m_requestedId.exchange(-1);
        if (id != -1) ShowRequested(id);
    }
    if (m_out) {
        BYTE* output = Output();
        m_out->OnFrame(output, static_cast<int>(m_output.size()));
    }
}
