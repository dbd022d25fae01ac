#pragma once

#include <array>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

// korvan-cli's output for scripts (--json): one JSON object a line, each with "ok", "code" and
// "message" first.
namespace korvan::cli {

// Members stay in the order they are given: "ok" and "code" lead every line.
using Json = nlohmann::ordered_json;

// What a line of output says happened, as a word a script can test; the Russian "message"
// beside it is for people. The words never change meaning: the manual page lists them.
enum class Code {
    Listed,              // list: the devices attached
    Read,                // read: the profile, on standard output
    ProfileSaved,        // read -o: the profile, in its file
    Written,             // write, provision: written (and verified where asked) and recorded
    Same,                // diff: the tracker holds what the profile says
    Different,           // diff: the differences counted
    Difference,          // diff: one difference
    LogRead,             // log read, log full: the debug log is in its file
    LogErased,           // log erase
    LineEnded,           // provision: the line's count, once it ends
    Usage,               // the command line was wrong
    UsbUnavailable,      // no listing of the USB devices
    ListingBroken,       // a device broke the listing off
    NoTracker,           // no tracker attached
    TrackerNotAttached,  // the tracker --device names is not attached
    SeveralTrackers,     // more than one attached, and no --device
    AccessRefused,       // the system refused access to the USB device
    ProfileUnreadable,   // the profile file could not be read
    ProfileRefused,      // the profile's keys or values are wrong
    DatabaseUnreadable,  // the device database could not be read
    DatabaseUnwritable,  // the tracker was written, but not recorded in the database
    ReadFailed,          // the tracker was not read
    ReadIncomplete,      // the tracker was read, but not every setting
    WriteFailed,         // the tracker was not written
    VerifyFailed,        // written, but the tracker holds something else
    FileUnwritable,      // the profile or log file asked for could not be written
    EraseUnconfirmed,    // log erase without a terminal and without --yes
    EraseCancelled,      // log erase, answered no
    LogFailed,           // the debug log was not read or erased
    TraceUnwritable,     // the wire trace asked for was not written whole
};

inline constexpr std::array kCodeNames = {
    "listed",
    "read",
    "profile_saved",
    "written",
    "same",
    "different",
    "difference",
    "log_read",
    "log_erased",
    "line_ended",
    "usage",
    "usb_unavailable",
    "listing_broken",
    "no_tracker",
    "tracker_not_attached",
    "several_trackers",
    "access_refused",
    "profile_unreadable",
    "profile_refused",
    "database_unreadable",
    "database_unwritable",
    "read_failed",
    "read_incomplete",
    "write_failed",
    "verify_failed",
    "file_unwritable",
    "erase_unconfirmed",
    "erase_cancelled",
    "log_failed",
    "trace_unwritable",
};
static_assert(kCodeNames.size() == static_cast<std::size_t>(Code::TraceUnwritable) + 1);

inline std::string_view codeName(Code code) {
    return kCodeNames[static_cast<std::size_t>(code)];
}

// A line's first members.
inline Json jsonResult(bool ok, Code code, std::string_view message) {
    return Json{{"ok", ok}, {"code", codeName(code)}, {"message", message}};
}

// A failure's line: what went wrong, the exit status it ends with, and what to do.
inline Json jsonFailure(int status, Code code, std::string_view message, std::string_view fix) {
    Json json = jsonResult(false, code, message);
    json["status"] = status;
    json["fix"] = fix;
    return json;
}

// The object on one line. Text that is not valid UTF-8 (a file name in another encoding, a
// tracker's reply) has each such byte written as U+FFFD, so that every line stays valid JSON.
inline std::string jsonLine(const Json& object) {
    return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace korvan::cli
