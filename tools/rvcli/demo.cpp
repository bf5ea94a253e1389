// `rvcli demo`: a guided tour of the SDK against the bundled local service,
// narrated step by step, in well under a minute.
#include <algorithm>
#include <cstdio>
#include <map>

#include "commands.h"
#include "login.h"
#include "mock_service.h"
#include "play.h"
#include "records.h"
#include "screen.h"

namespace rvcli {
namespace {

constexpr int64_t kAlbum = 1100002;
constexpr int kCategory = 102;
constexpr int64_t kBroadcast = 1001;
constexpr const char *kSearchWord = "wind";

struct Tour {
    const Session &session;
    int step = 0;

    void title(const char *text) {
        std::fprintf(out(), "\n== %d. %s\n", ++step, text);
        std::fflush(out());
    }
    void say(const std::string &text) {
        std::fprintf(out(), "   %s\n", text.c_str());
        std::fflush(out());
    }
    const rv::Sdk &sdk() const { return session.sdk(); }
};

void browse(Tour &t) {
    t.title("The catalogue: categories");
    t.say("rv_getAllCategory lists the top level; rv_getSubCategory goes one deeper.");
    print_list(tabulate(columns::kCategory, t.sdk().get_all_category().get()), false);

    t.title("Albums of a category, and one album in detail");
    t.say("rv_getAlbumList(" + std::to_string(kCategory) + ", ...) then rv_getAlbumInfo(" +
          std::to_string(kAlbum) + "):");
    print_list(tabulate(columns::kAlbum, t.sdk().get_album_list(kCategory, 0, 1, 20).get().list),
               false);
    print_record(tabulate(columns::kAlbumInfo, {t.sdk().get_album_info(kAlbum).get()}), false);
}

void listen(Tour &t) {
    t.title("Playing the album's first two audios");
    t.say("rv_playByAudioBean starts the album; the player moves to the next audio by itself.");
    play(t.session, Resource::Album, kAlbum,
         PlayLimits{.items = 2, .time = std::chrono::seconds(15), .keys = false});

    t.title("A live broadcast: its programme guide and the live clock");
    const std::vector<rv::Program> guide = t.sdk().get_broadcast_program_list(kBroadcast, "").get();
    auto live = std::find_if(guide.begin(), guide.end(),
                             [](const rv::Program &p) { return p.status == 1; });
    std::vector<rv::Program> around;
    if (live != guide.end()) {
        const auto first = live - std::min<std::ptrdiff_t>(2, live - guide.begin());
        const auto last = live + std::min<std::ptrdiff_t>(3, guide.end() - live);
        around.assign(first, last);
    }
    t.say("rv_getBroadcastProgramList(" + std::to_string(kBroadcast) +
          ", today): status 2 past, 1 live, 3 to come");
    print_list(tabulate(columns::kProgram, around), false);
    play(t.session, Resource::Broadcast, kBroadcast,
         PlayLimits{.items = 0, .time = std::chrono::seconds(5), .keys = false});
}

void account(Tour &t) {
    t.title("Logging in by QR code");
    t.say("A phone would scan this; the local service confirms it by itself after a few polls.");
    const Credentials c = login(t.session, std::chrono::seconds(30));
    const rv::AuthUserInfo user = t.sdk().get_auth_user_info(c.access_token, c.open_uid).get();
    t.say("logged in as " + user.nickname + " (" + c.open_uid + "), kept in " +
          t.session.data_dir() + " for later commands");

    t.title("Subscriptions and history");
    t.sdk().do_subscribe(kAlbum).get();
    t.say("rv_doSubscribe(" + std::to_string(kAlbum) + "), then rv_getSubscribeList:");
    print_list(tabulate(columns::kSubscription, t.sdk().get_subscribe_list(-1, 1, 20).get().list),
               false);
    const rv::Page<rv::Audio> audios = t.sdk().get_album_audio_list(kAlbum, 1, 1, 2, 0).get();
    if (!audios.list.empty()) {
        const rv::Audio &a = audios.list.back();
        const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
        t.sdk().save_listen_history(kAlbum, a.audioId, a.duration, a.duration, now).get();
    }
    t.say("rv_saveListenHistory for what was played, then rv_getListenHistory:");
    print_list(tabulate(columns::kHistory, t.sdk().get_listen_history().get().list), false);
}

void find(Tour &t) {
    t.title(("Searching for \"" + std::string(kSearchWord) + "\"").c_str());
    std::vector<rv::SearchResult> results = t.sdk().do_search(kSearchWord).get();
    t.say(std::to_string(results.size()) + " results; the first five:");
    results.resize(std::min<size_t>(results.size(), 5));
    print_list(tabulate(columns::kSearchResult, results), false);
}

void reports(Tour &t) {
    t.title("What the service heard: the SDK's reports");
    rvmock::Service *local = t.session.local();
    if (local == nullptr) {
        t.say("(only the bundled local service shows its reports)");
        return;
    }
    std::map<std::string, int> counts;
    int signed_ok = 0;
    const std::vector<rvmock::Report> received = local->reports();
    for (const rvmock::Report &r : received) {
        ++counts[r.value("eventcode")];
        signed_ok += r.signature_ok ? 1 : 0;
    }
    t.say(std::to_string(received.size()) + " reports, " + std::to_string(signed_ok) +
          " with a valid signature:");
    Table table{{"eventcode", "count"}, {}};
    for (const auto &[code, count] : counts) {
        table.rows.push_back({code, static_cast<int64_t>(count)});
    }
    print_list(table, false);
}

int demo_command(Context &c, const Args &) {
    std::fprintf(
        out(), "== 0. Starting the SDK%s\n",
        c.options.api_http || c.options.api_https ? "" : " (and the bundled local service)");
    Tour tour{c.session()};
    tour.say("rv_initSdk done: this device's openid is " + c.session().openid());
    browse(tour);
    listen(tour);
    account(tour);
    find(tour);
    reports(tour);
    std::fprintf(out(), "\n== The tour is over. 'rvcli --help' lists every command.\n");
    return 0;
}

}  // namespace

std::vector<Command> demo_commands() {
    return {{"demo",
             "",
             "a guided tour: browse, play, live radio, login, search, reports",
             0,
             0,
             {},
             demo_command}};
}

}  // namespace rvcli
