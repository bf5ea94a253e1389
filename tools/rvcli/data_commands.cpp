// Browsing, search, subscriptions and history: one query each, printed.
#include "commands.h"
#include "records.h"
#include "screen.h"

namespace rvcli {
namespace {

constexpr int kPageSize = 20;

template <class T>
int list(Context &c, const std::vector<Column<T>> &columns, const std::vector<T> &records) {
    print_list(tabulate(columns, records), c.options.json);
    return 0;
}

template <class T>
int page(Context &c, const std::vector<Column<T>> &columns, const rv::Page<T> &p) {
    print_list(tabulate(columns, p.list), c.options.json);
    if (!c.options.json && p.sumPage > 0) {
        std::fprintf(out(), "page %d of %d\n", p.currentPage, p.sumPage);
    }
    return 0;
}

const rv::Sdk &sdk(Context &c) {
    return c.session().sdk();
}

int categories(Context &c, const Args &a) {
    if (a.positional.empty()) {
        return list(c, columns::kCategory, sdk(c).get_all_category().get());
    }
    const int cid = static_cast<int>(a.number(0, "CID"));
    return list(c, columns::kCategory, sdk(c).get_sub_category(cid).get());
}

int albums(Context &c, const Args &a) {
    const int cid = static_cast<int>(a.number(0, "CID"));
    const int p = static_cast<int>(a.flag_number("--page", 1));
    return page(c, columns::kAlbum, sdk(c).get_album_list(cid, 0, p, kPageSize).get());
}

int album(Context &c, const Args &a) {
    const rv::AlbumInfo info = sdk(c).get_album_info(a.number(0, "ID")).get();
    print_record(tabulate(columns::kAlbumInfo, {info}), c.options.json);
    return 0;
}

int audios(Context &c, const Args &a) {
    const int64_t id = a.number(0, "ALBUM_ID");
    const int p = static_cast<int>(a.flag_number("--page", 1));
    return page(c, columns::kAudio, sdk(c).get_album_audio_list(id, 0, p, kPageSize, 0).get());
}

int top(Context &c, const Args &a) {
    return page(c, columns::kAlbum, sdk(c).get_album_top_list(a.positional[0], 1, kPageSize).get());
}

int radios(Context &c, const Args &a) {
    if (a.positional.empty()) {
        return list(c, columns::kCategory, sdk(c).get_smartcast_category().get());
    }
    const int cid = static_cast<int>(a.number(0, "CID"));
    return list(c, columns::kSmartcast, sdk(c).get_smartcast_list(cid).get());
}

int broadcasts(Context &c, const Args &a) {
    const int p = static_cast<int>(a.flag_number("--page", 1));
    return page(c, columns::kBroadcast, sdk(c).get_broadcast_list(0, 0, p, kPageSize, 0).get());
}

int guide(Context &c, const Args &a) {
    const int64_t id = a.number(0, "BROADCAST_ID");
    const std::string date = a.positional.size() > 1 ? a.positional[1] : "";
    return list(c, columns::kProgram, sdk(c).get_broadcast_program_list(id, date).get());
}

int search(Context &c, const Args &a) {
    return list(c, columns::kSearchResult, sdk(c).do_search(a.positional[0]).get());
}

int suggest(Context &c, const Args &a) {
    return list(c, columns::kWord, sdk(c).get_search_suggest_word(a.positional[0], 10).get());
}

int subscriptions(Context &c, const Args &a) {
    const int p = static_cast<int>(a.flag_number("--page", 1));
    return page(c, columns::kSubscription, sdk(c).get_subscribe_list(-1, p, kPageSize).get());
}

int subscribe(Context &c, const Args &a) {
    const rv::Status s = sdk(c).do_subscribe(a.number(0, "ID")).get();
    print_text("status", s.status == 1 ? "subscribed" : "not subscribed", c.options.json);
    return s.status == 1 ? 0 : 1;
}

int unsubscribe(Context &c, const Args &a) {
    const rv::Status s = sdk(c).do_unsubscribe(a.number(0, "ID")).get();
    print_text("status", s.status == 1 ? "unsubscribed" : "not subscribed", c.options.json);
    return s.status == 1 ? 0 : 1;
}

int history(Context &c, const Args &) {
    return list(c, columns::kHistory, sdk(c).get_listen_history().get().list);
}

}  // namespace

std::vector<Command> data_commands() {
    return {
        {"categories",
         "[CID]",
         "the top-level categories, or the sub-categories of CID",
         0,
         1,
         {},
         categories},
        {"albums", "CID [--page N]", "the albums of category CID", 1, 1, {"--page"}, albums},
        {"album", "ID", "an album's details", 1, 1, {}, album},
        {"audios",
         "ALBUM_ID [--page N]",
         "the audios of an album, twenty a page",
         1,
         1,
         {"--page"},
         audios},
        {"top", "TYPE", "a top list of albums", 1, 1, {}, top},
        {"radios",
         "[CID]",
         "the smartcast categories, or the radios of category CID",
         0,
         1,
         {},
         radios},
        {"broadcasts", "[--page N]", "the live broadcasts", 0, 0, {"--page"}, broadcasts},
        {"guide",
         "BROADCAST_ID [DATE]",
         "a broadcast's programmes (DATE: YYYY-MM-DD, default today)",
         1,
         2,
         {},
         guide},
        {"search",
         "WORD",
         "albums, audios, radios and broadcasts whose name holds WORD",
         1,
         1,
         {},
         search},
        {"suggest", "WORD", "search words that complete WORD", 1, 1, {}, suggest},
        {"subscriptions",
         "[--page N]",
         "what this device or the logged-in user subscribed to",
         0,
         0,
         {"--page"},
         subscriptions},
        {"subscribe", "ID", "subscribe to an album, radio or broadcast", 1, 1, {}, subscribe},
        {"unsubscribe", "ID", "end a subscription", 1, 1, {}, unsubscribe},
        {"history", "", "what was listened to, newest first", 0, 0, {}, history},
    };
}

}  // namespace rvcli
