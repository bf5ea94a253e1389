#include "request/download_manager.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "http/http_task.h"
#include "request/audio_dao.h"
#include "request/audio_req.h"
#include "request/download_store.h"
#include "request/helper_json.h"
#include "rv_data.h"
#include "rv_error.h"
#include "util/debug.h"
#include "util/private_file.h"

namespace rv::dl {

namespace {

constexpr const char *kTag = "DOWNLOAD";
constexpr int kWorkers = 2;
constexpr int kPageSize = 20;
constexpr int kSortType = 1;
constexpr int kAttempts = 6;
constexpr int64_t kProgressStep = 256 * 1024;
constexpr int kRetry = -1;  // an audio's outcome that asks for another attempt

struct Job {
    int64_t album = 0;
    int64_t audio = 0;
    std::string url;
};

struct Run {
    int64_t album = 0;
    uint64_t id = 0;
    rv_download_events events{};
    std::shared_ptr<std::atomic<bool>> cancelled = std::make_shared<std::atomic<bool>>(false);
    int pending = 0;      // audios queued or being fetched
    bool listed = false;  // the list's last page arrived (or failed)
    int result = RVE_OK;  // the first failure

    std::function<void()> item_done(int64_t audio, int code) const {
        return [e = events, album = album, audio, code] {
            if (e.on_item_done != nullptr) {
                e.on_item_done(e.user, album, audio, code);
            }
        };
    }
    std::function<void()> album_done() const {
        return [e = events, album = album, code = result] {
            if (e.on_album_done != nullptr) {
                e.on_album_done(e.user, album, code);
            }
        };
    }
};

// Calls into the application, made once the lock is released.
using Tells = std::vector<std::function<void()>>;

void tell_all(const Tells &tells) {
    for (const auto &tell : tells) {
        tell();
    }
}

struct Manager {
    std::mutex mutex;
    std::condition_variable wake;
    Store store;
    std::deque<Job> queue;
    std::map<int64_t, Run> runs;
    std::map<int64_t, int64_t> active;  // audio being fetched -> its album
    std::vector<std::thread> workers;
    std::atomic<bool> stopping{false};
    bool index_dirty = false;  // a change a download thread writes (a play's note)
    uint64_t next_run = 0;

    ~Manager() { stop(); }
    void stop();
    void finish_if_done(int64_t album, Tells &tells);
    void end_item(const Job &job, int result);
    void work();
};

std::atomic<int64_t> s_limit{0};

Manager &manager() {
    static Manager instance;
    return instance;
}

// Ends the album's run once nothing of it is queued, fetched or listed any more.
// Under the lock.
void Manager::finish_if_done(int64_t album, Tells &tells) {
    const auto it = runs.find(album);
    if (it == runs.end() || it->second.pending > 0 || !it->second.listed) {
        return;
    }
    Run &run = it->second;
    if (run.cancelled->load() && run.result == RVE_OK) {
        run.result = RVE_NOT_READY;
    }
    if (StoredAlbum *stored = store.album(album)) {
        const auto items = store.items_of(album);
        const bool any_whole =
            std::any_of(items.begin(), items.end(), [](const StoredItem *i) { return i->whole; });
        if (run.cancelled->load() && !any_whole) {
            store.remove_album(album);
        } else {
            stored->state = run.result == RVE_OK ? RV_DOWNLOAD_COMPLETE : RV_DOWNLOAD_PARTIAL;
        }
        store.save();
    }
    tells.push_back(run.album_done());
    runs.erase(it);
}

void Manager::end_item(const Job &job, int result) {
    if (result != RVE_OK) {
        LOGW(kTag, "download of audio %lld ended: %s \n", static_cast<long long>(job.audio),
             rve_rve2str(result));
    }
    Tells tells;
    {
        std::lock_guard lock(mutex);
        active.erase(job.audio);
        const auto it = runs.find(job.album);
        if (it != runs.end()) {
            Run &run = it->second;
            --run.pending;
            if (result != RVE_OK && run.result == RVE_OK) {
                run.result = result;
            }
            tells.push_back(run.item_done(job.audio, result));
            finish_if_done(job.album, tells);
        }
    }
    tell_all(tells);
}

bool no_space(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

// One attempt at one audio: the body streamed into its partial file.
class Fetch : public rv::http::DownloadSink {
  public:
    Fetch(Manager &m, const Job &job, std::shared_ptr<std::atomic<bool>> cancelled,
          rv_download_events events)
        : m_(m), job_(job), cancelled_(std::move(cancelled)), events_(events) {}

    int run();

    bool begin(long status, int64_t first_byte, int64_t total, const std::string &etag) override;
    bool write(const char *data, size_t size) override;
    bool stopped() override { return m_.stopping.load() || cancelled_->load(); }

  private:
    int prepare();
    int complete();
    void restart_file();
    void progress(bool force);

    Manager &m_;
    Job job_;
    std::shared_ptr<std::atomic<bool>> cancelled_;
    rv_download_events events_;
    std::string part_, etag_;
    UniqueFd fd_;
    int64_t offset_ = 0;  // bytes of the partial file
    int64_t total_ = -1;
    int64_t told_ = 0;
    int error_ = RVE_OK;
    bool restart_ = false;  // the host's file is not the one partly fetched
};

int Fetch::prepare() {
    std::lock_guard lock(m_.mutex);
    StoredItem *item = m_.store.item(job_.audio);
    if (item == nullptr) {
        return RVE_NOT_READY;
    }
    part_ = m_.store.part_of(*item);
    etag_ = item->etag;
    total_ = item->total;
    fd_ = rv::util::open_private(part_, O_WRONLY | O_CREAT);
    if (!fd_) {
        return no_space(errno) ? RVE_NO_SPACE : RVE_FAILED;
    }
    offset_ = std::max<int64_t>(0, file_size(part_));
    if (offset_ > 0 && etag_.empty() && total_ < 0) {
        restart_file();  // nothing to tell whether the host still has the same file
    }
    return ::lseek(fd_.get(), offset_, SEEK_SET) == offset_ ? RVE_OK : RVE_FAILED;
}

void Fetch::restart_file() {
    if (::ftruncate(fd_.get(), 0) == 0) {
        m_.store.bytes() -= offset_;
        offset_ = 0;
        ::lseek(fd_.get(), 0, SEEK_SET);
    }
}

void Fetch::progress(bool force) {
    if (events_.on_progress != nullptr && (force || offset_ - told_ >= kProgressStep)) {
        told_ = offset_;
        events_.on_progress(events_.user, job_.album, job_.audio, offset_, total_);
    }
}

bool Fetch::begin(long status, int64_t first_byte, int64_t total, const std::string &etag) {
    // A host that ignores If-Range sends a range of its new version: the ETag tells.
    if (status == 206 && (first_byte != offset_ || (total_ >= 0 && total != total_) ||
                          (!etag_.empty() && etag != etag_))) {
        restart_ = true;  // another range, or of another file: fetched again
        return false;
    }
    if (status != 206 && offset_ > 0) {
        restart_file();  // the host sends the whole file: it changed or has no ranges
    }
    const int64_t limit = s_limit.load();
    if (limit > 0 && total >= 0 && m_.store.bytes().load() + (total - offset_) > limit) {
        error_ = RVE_OVER_QUOTA;
        return false;
    }
    total_ = total;
    etag_ = etag.find_first_of(" \t") == std::string::npos ? etag : std::string();
    {
        std::lock_guard lock(m_.mutex);
        if (StoredItem *item = m_.store.item(job_.audio)) {
            item->total = total_;
            item->etag = etag_;
            m_.store.save();  // a later process resumes against this file only
        }
    }
    progress(true);
    return true;
}

bool Fetch::write(const char *data, size_t size) {
    const int64_t limit = s_limit.load();
    if (limit > 0 && m_.store.bytes().load() + static_cast<int64_t>(size) > limit) {
        error_ = RVE_OVER_QUOTA;
        return false;
    }
    while (size > 0) {
        const ssize_t n = ::write(fd_.get(), data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error_ = n < 0 && no_space(errno) ? RVE_NO_SPACE : RVE_FAILED;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
        offset_ += n;
        m_.store.bytes() += n;
    }
    progress(false);
    return true;
}

// The partial file checked and renamed into the store.
int Fetch::complete() {
    if (offset_ == 0 || (total_ >= 0 && offset_ < total_)) {
        return kRetry;  // the body ended early without an error
    }
    if (total_ >= 0 && offset_ > total_) {
        restart_ = true;
        return RVE_FAILED;
    }
    if (::fsync(fd_.get()) != 0) {
        return no_space(errno) ? RVE_NO_SPACE : RVE_FAILED;
    }
    fd_ = UniqueFd();
    std::lock_guard lock(m_.mutex);
    StoredItem *item = m_.store.item(job_.audio);
    if (item == nullptr || cancelled_->load()) {
        return RVE_NOT_READY;
    }
    return m_.store.enter(*item, offset_) ? RVE_OK : RVE_FAILED;
}

int Fetch::run() {
    if (int code = prepare(); code != RVE_OK) {
        return code;
    }
    int result = RVE_OK;
    if (total_ >= 0 && offset_ == total_) {
        result = complete();  // fetched whole by an earlier process, not yet renamed
    } else {
        long status = 0;
        const rv::http::Failure failure =
            rv::http::download(job_.url.c_str(), offset_, etag_, *this, status);
        using rv::http::Failure;
        if (error_ != RVE_OK) {
            result = error_;
        } else if (restart_ || status == 416) {
            restart_ = true;
            result = kRetry;
        } else if (stopped()) {
            result = RVE_NOT_READY;
        } else if (failure == Failure::Cut || failure == Failure::Timeout ||
                   failure == Failure::Connect || status >= 500) {
            result = kRetry;
        } else if (failure != Failure::None || status < 200 || status > 299) {
            result = RVE_FAILED;
        } else {
            result = complete();
        }
    }
    progress(true);
    fd_ = UniqueFd();
    // Nothing half-written stays for a full store or disk, nor for a cancelled download;
    // a stop of the SDK keeps it for a later resume.
    if (restart_ || result == RVE_OVER_QUOTA || result == RVE_NO_SPACE || cancelled_->load()) {
        std::lock_guard lock(m_.mutex);
        StoredItem *item = m_.store.item(job_.audio);
        if (item != nullptr) {
            m_.store.drop_part(*item);
            if (cancelled_->load()) {
                m_.store.remove_item(job_.audio);
            }
            m_.store.save();
        } else {
            const int64_t size = file_size(part_);
            if (size >= 0 && ::unlink(part_.c_str()) == 0) {
                m_.store.bytes() -= size;
            }
        }
    }
    return result;
}

void Manager::work() {
    std::unique_lock lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return stopping.load() || !queue.empty() || index_dirty; });
        if (stopping.load()) {
            return;
        }
        if (index_dirty) {
            index_dirty = false;
            store.save();
            continue;
        }
        const Job job = std::move(queue.front());
        queue.pop_front();
        const auto run = runs.find(job.album);
        if (run == runs.end()) {
            continue;
        }
        const auto cancelled = run->second.cancelled;
        const rv_download_events events = run->second.events;
        active[job.audio] = job.album;
        lock.unlock();
        int result = kRetry;
        for (int attempt = 0; result == kRetry && attempt < kAttempts; ++attempt) {
            if (attempt > 0) {
                std::unique_lock pause(mutex);
                wake.wait_for(pause, std::chrono::milliseconds(100 << attempt),
                              [&] { return stopping.load() || cancelled->load(); });
            }
            Fetch fetch(*this, job, cancelled, events);
            result = fetch.run();
        }
        end_item(job, result == kRetry ? RVE_FAILED : result);
        lock.lock();
    }
}

void Manager::stop() {
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    for (std::thread &worker : workers) {
        worker.join();
    }
    workers.clear();
    Tells tells;
    {
        std::lock_guard lock(mutex);
        for (const Job &job : queue) {
            if (const auto run = runs.find(job.album); run != runs.end()) {
                tells.push_back(run->second.item_done(job.audio, RVE_NOT_READY));
            }
        }
        queue.clear();
        for (auto &[album, run] : runs) {
            if (run.result == RVE_OK) {
                run.result = RVE_NOT_READY;
            }
            tells.push_back(run.album_done());
        }
        runs.clear();
        if (store.is_open()) {
            store.save();
            store.close();
        }
    }
    tell_all(tells);
}

// One page of the album's audio list; `user` is a PageCall.
struct PageCall {
    int64_t album;
    uint64_t run;
    int page;
};

void request_page(const PageCall &call);

std::string file_name(int64_t audio, const char *url) {
    std::string ext = ".aac";
    const std::string text = url;
    const std::string path = text.substr(0, text.find_first_of("?#"));
    const size_t dot = path.rfind('.');
    if (dot != std::string::npos && path.find('/', dot) == std::string::npos &&
        path.size() - dot <= 5 &&
        std::all_of(path.begin() + static_cast<std::ptrdiff_t>(dot) + 1, path.end(),
                    [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; })) {
        ext = path.substr(dot);
    }
    return std::to_string(audio) + ext;
}

// The audio's record as one line of JSON, for playing it with no service ("" when
// memory is short: it then plays only while the service answers).
std::string meta_of(const dao_audio &audio) {
    const std::unique_ptr<cJSON, decltype(&cJSON_Delete)> json(
        rv::json::record_to_json(rv::dao::kAudio, &audio), cJSON_Delete);
    const std::unique_ptr<char, decltype(&free)> text(
        json ? cJSON_PrintUnformatted(json.get()) : nullptr, free);
    return text ? std::string(text.get()) : std::string();
}

using AudioPtr = std::unique_ptr<dao_audio, decltype(&dao_audio_del)>;

// An audio's record from its line of JSON; null when it does not read.
AudioPtr audio_of(const std::string &meta) {
    const std::unique_ptr<cJSON, decltype(&cJSON_Delete)> json(cJSON_Parse(meta.c_str()),
                                                               cJSON_Delete);
    AudioPtr audio(static_cast<dao_audio *>(rv::json::record_new(rv::dao::kAudio)), dao_audio_del);
    if (!json || !cJSON_IsObject(json.get()) || !audio ||
        !rv::json::record_fill(rv::dao::kAudio, audio.get(), json.get())) {
        return AudioPtr(nullptr, dao_audio_del);
    }
    return audio;
}

void on_page(int result, void *data, int, void *user) {
    const std::unique_ptr<PageCall> call(static_cast<PageCall *>(user));
    const std::unique_ptr<dao_audio_set, decltype(&dao_audio_set_del)> set(
        static_cast<dao_audio_set *>(data), &dao_audio_set_del);
    Manager &m = manager();
    Tells tells;
    bool more = false;
    {
        std::lock_guard lock(m.mutex);
        const auto it = m.runs.find(call->album);
        if (it == m.runs.end() || it->second.id != call->run) {
            return;
        }
        Run &run = it->second;
        if (result != RVE_OK || set == nullptr || m.stopping.load() || run.cancelled->load()) {
            run.listed = true;
            if (run.result == RVE_OK) {
                run.result = result != RVE_OK ? result : RVE_NOT_READY;
            }
            m.finish_if_done(call->album, tells);
        } else {
            StoredAlbum &album = m.store.add_album(call->album);
            if (call->page <= 1) {
                album.items_total = 0;
            }
            for (const ListItem *node = set->list ? set->list->first : nullptr; node != nullptr;
                 node = node->next) {
                const auto *audio = static_cast<const dao_audio *>(node->data);
                const int order = ++album.items_total;
                std::string meta = meta_of(*audio);
                StoredItem *known = m.store.item(audio->audioId);
                if (known != nullptr) {
                    known->order = order;
                    known->meta = meta;
                }
                if (known != nullptr && known->whole && !m.store.playable(audio->audioId).empty()) {
                    tells.push_back(run.item_done(audio->audioId, RVE_OK));
                    continue;
                }
                if (audio->aacPlayUrl == nullptr) {
                    tells.push_back(run.item_done(audio->audioId, RVE_FAILED));
                    run.result = run.result == RVE_OK ? RVE_FAILED : run.result;
                    continue;
                }
                if (known == nullptr || known->whole) {
                    m.store.remove_item(audio->audioId);  // a whole file that no longer checks
                    StoredItem item;
                    item.album = call->album;
                    item.audio = audio->audioId;
                    item.name = file_name(audio->audioId, audio->aacPlayUrl);
                    item.order = order;
                    item.meta = std::move(meta);
                    m.store.put_item(item);
                }
                m.queue.push_back({call->album, audio->audioId, audio->aacPlayUrl});
                ++run.pending;
            }
            more = set->haveNext != 0 && set->nextPage > call->page;
            run.listed = !more;
            m.store.save();
            m.finish_if_done(call->album, tells);
        }
    }
    m.wake.notify_all();
    tell_all(tells);
    if (more) {
        request_page({call->album, call->run, set->nextPage});
    }
}

void request_page(const PageCall &call) {
    auto user = std::make_unique<PageCall>(call);
    // Reports exactly once, possibly on this thread: no lock may be held here.
    request_album_playlist(call.album, kSortType, call.page, kPageSize, 0, on_page, user.release());
}

}  // namespace

void open(const char *data_dir) {
    Manager &m = manager();
    std::lock_guard lock(m.mutex);
    if (m.store.is_open() || data_dir == nullptr || !m.store.open(data_dir)) {
        return;
    }
    m.stopping = false;
    try {
        for (int i = 0; i < kWorkers; ++i) {
            m.workers.emplace_back([&m] { m.work(); });
        }
    } catch (const std::system_error &) {
        LOGE(kTag, "download threads not started \n");
    }
}

void close() {
    manager().stop();
}

int download_album(int64_t album_id, const rv_download_events *events) {
    Manager &m = manager();
    uint64_t id = 0;
    {
        std::lock_guard lock(m.mutex);
        if (!m.store.is_open() || m.workers.empty() || m.stopping.load()) {
            return RVE_NOT_READY;
        }
        if (m.runs.count(album_id) != 0) {
            return RVE_ALREADY_STARTED;
        }
        Run &run = m.runs[album_id];
        run.album = album_id;
        run.id = id = ++m.next_run;
        std::memcpy(&run.events, events, std::min(events->struct_size, sizeof run.events));
        run.events.struct_size = sizeof run.events;
        m.store.add_album(album_id).state = RV_DOWNLOAD_RUNNING;
    }
    request_page({album_id, id, 1});
    return RVE_OK;
}

int cancel(int64_t album_id) {
    Manager &m = manager();
    Tells tells;
    {
        std::lock_guard lock(m.mutex);
        if (!m.store.is_open()) {
            return RVE_NOT_READY;
        }
        const auto run = m.runs.find(album_id);
        if (run == m.runs.end() && m.store.album(album_id) == nullptr) {
            return RVE_BAD_ARGS;
        }
        if (run != m.runs.end()) {
            run->second.cancelled->store(true);
            for (auto job = m.queue.begin(); job != m.queue.end();) {
                if (job->album != album_id) {
                    ++job;
                    continue;
                }
                tells.push_back(run->second.item_done(job->audio, RVE_NOT_READY));
                --run->second.pending;
                job = m.queue.erase(job);
            }
        }
        // Parts being written are deleted by their fetch when it stops.
        for (StoredItem *item : m.store.items_of(album_id)) {
            if (!item->whole && m.active.count(item->audio) == 0) {
                m.store.remove_item(item->audio);
            }
        }
        if (run == m.runs.end()) {
            const auto items = m.store.items_of(album_id);
            if (items.empty()) {
                m.store.remove_album(album_id);
            } else {
                m.store.album(album_id)->state = RV_DOWNLOAD_PARTIAL;
            }
        }
        m.store.save();
        m.finish_if_done(album_id, tells);
    }
    m.wake.notify_all();
    tell_all(tells);
    return RVE_OK;
}

int remove(int64_t album_id) {
    if (int code = cancel(album_id); code != RVE_OK) {
        return code;
    }
    Manager &m = manager();
    std::lock_guard lock(m.mutex);
    for (StoredItem *item : m.store.items_of(album_id)) {
        if (m.active.count(item->audio) == 0) {
            m.store.remove_item(item->audio);
        }
    }
    if (m.runs.count(album_id) == 0) {
        m.store.remove_album(album_id);
    }
    m.store.save();
    return RVE_OK;
}

void set_limit(int64_t max_bytes) {
    s_limit = max_bytes;
}

int list(std::vector<rv_download_info> &out) {
    Manager &m = manager();
    std::lock_guard lock(m.mutex);
    if (!m.store.is_open()) {
        return RVE_NOT_READY;
    }
    for (const StoredAlbum &album : m.store.albums()) {
        rv_download_info info{};
        info.album_id = album.id;
        info.state = m.runs.count(album.id) != 0 ? RV_DOWNLOAD_RUNNING : album.state;
        for (const StoredItem *item : m.store.items_of(album.id)) {
            info.items_done += m.store.playable(item->audio).empty() ? 0 : 1;
        }
        info.items_total = album.items_total;
        info.bytes = m.store.album_bytes(album.id);
        info.last_played = album.last_played;
        out.push_back(info);
    }
    return RVE_OK;
}

int64_t store_bytes() {
    Manager &m = manager();
    std::lock_guard lock(m.mutex);
    return m.store.is_open() ? m.store.bytes().load() : 0;
}

std::string stored_path(int64_t audio_id) {
    Manager &m = manager();
    std::lock_guard lock(m.mutex);
    return m.store.is_open() ? m.store.playable(audio_id) : std::string();
}

dao_audio_set *album_page(int64_t album_id) {
    Manager &m = manager();
    std::vector<std::pair<int, std::string>> metas;
    {
        std::lock_guard lock(m.mutex);
        if (!m.store.is_open()) {
            return nullptr;
        }
        for (const StoredItem *item : m.store.items_of(album_id)) {
            if (!item->meta.empty() && !m.store.playable(item->audio).empty()) {
                metas.emplace_back(item->order, item->meta);
            }
        }
    }
    std::sort(metas.begin(), metas.end());
    std::unique_ptr<dao_audio_set, decltype(&dao_audio_set_del)> set(dao_audio_set_new(),
                                                                     dao_audio_set_del);
    if (!set || (set->list = ListNew(rv::dao::kAudio.free_item)) == nullptr) {
        return nullptr;
    }
    for (const auto &[order, meta] : metas) {
        AudioPtr audio = audio_of(meta);
        if (audio && ListAppend(set->list, audio.get()) != nullptr) {
            audio.release();
        }
    }
    if (ListLength(set->list) == 0) {
        return nullptr;
    }
    set->currentPage = 1;
    set->sumPage = 1;
    set->count = set->pageSize = static_cast<int32_t>(ListLength(set->list));
    return set.release();
}

std::string playable_path(int64_t audio_id) {
    Manager &m = manager();
    std::lock_guard lock(m.mutex);
    if (!m.store.is_open()) {
        return {};
    }
    std::string path = m.store.playable(audio_id);
    if (!path.empty()) {
        if (StoredAlbum *album = m.store.album(m.store.item(audio_id)->album)) {
            album->last_played = static_cast<int64_t>(std::time(nullptr));
            // Written by a download thread: a play start does not wait on the disk.
            if (m.workers.empty()) {
                m.store.save();
            } else {
                m.index_dirty = true;
                m.wake.notify_all();
            }
        }
    }
    return path;
}

}  // namespace rv::dl
