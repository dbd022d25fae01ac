#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli.h"
#include "cli/json.h"
#include "cli/tracker_steps.h"
#include "core/verification.h"

// What the commands of korvan-cli share: their options, and the run of one command with its
// bridge, its link and its way of telling what happened. Each command is a file of its own.
namespace korvan::cli {

// How often the provisioning line looks for trackers where nothing tells it of devices coming
// and going. A tracker just plugged in is given time to start as the window's detection gives
// it (kReadTries, kPauseAfterFailedRead).
constexpr auto kLookInterval = std::chrono::milliseconds(250);
// How long the line waits for its workers or a device change before it asks again whether
// Ctrl+C was pressed, which a signal cannot wake it for.
constexpr auto kStopCheckInterval = std::chrono::milliseconds(100);

struct Options {
    bool sim = false;
    bool json = false;
    std::string device;
    std::string output;
    std::string profile;
    std::string database;
    std::string logAction;
    int count = 0;
    int parallel = 0;  // provision: at most this many trackers at once; 0: every one attached
    bool missingKeepDefaults = false;
    bool showSecrets = false;  // read: --show-secrets
    bool verify = false;       // write: --verify
    bool noVerify = false;     // provision: --no-verify
    bool yes = false;          // log erase: --yes
    bool quiet = false;        // -q: failures only; no confirmations, warnings or progress
    bool verbose = false;      // -v: the trace on stderr, where a progress line would cut in
    bool brief = false;        // list --brief: the listing alone, no tracker opened
};

std::string utf8(std::string_view cp1251Text);
double secondsBetween(Clock::Duration from, Clock::Duration to);
// One difference as a JSON line's members: what the tracker holds beside what was meant.
Json differenceJson(const Difference& d);

// One command's run: its options, its bridge and its link, and how it tells what happened.
class Run {
  public:
    // `observer`: who watches the link, for -v and --trace; none when null.
    Run(Environment& environment, const Options& options, LinkObserver* observer);
    ~Run();
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    int list();
    int read();
    int write();
    int provision();
    int diff();
    int log();

  private:
    std::ostream& out() { return env_.out(); }

    // A failure, said on stderr (and as JSON on stdout with --json) with what to do about it.
    // `details`: more members for its JSON line.
    int fail(int status, Code code, std::string_view problem, std::string_view fix = {},
             const Json& details = {});
    // What was done, said on stdout unless -q; with --json, the line `json` always.
    void tellDone(const Json& json, std::string_view said);
    // A warning on stderr, unless -q.
    void warn(std::string_view said);
    // Where the command's steps are shown: on a terminal, unless -q; else nowhere.
    Progress& progress();
    // The terminal's progress line, wiped before anything else is said.
    void clearProgress();

    // The tracker the command works on: the one named by --device (its USB serial string or
    // its serial number), or the only one attached.
    const ListedDevice* chooseTracker(const Listing& listing, int& status);
    const ListedDevice* chooseTracker(Listing&&, int&) = delete;  // it points into the listing
    // The same from a listing of its own: the tracker chosen, or nothing once `status` is set.
    std::optional<ListedDevice> listAndChooseTracker(int& status);
    std::optional<std::string> readProfile(int& status);
    // The database of --database, read; a file that cannot be saved over is refused at once.
    bool openDatabase(DeviceDatabase& database, int& status);
    // The tracker read into the fields as detection reads one: up to five tries.
    // `shown`: whether its steps are shown, as they are for the tracker of a command.
    ReadOutcome readTrackerWithTries(Link& link, FieldModel& model, const ListedDevice& tracker,
                                     Unattended& boxes, bool shown = true);
    // Every device attached, a tracker taken as the window's detection takes one. A listing
    // that broke off (a device gone in the middle of it) is taken once more.
    Listing listAttached();
    // Said when the listing broke off at a device, and what to do.
    int failBrokenListing(const Listing& listing);
    // One tracker read, given the profile and written, as the window would do it.
    struct ProfileWritten {
        bool read = false;
        bool written = false;   // confirmed to the end, and verified where asked
        bool recorded = false;  // stored and saved, or no database kept
        bool verified = false;
        Code code = Code::Written;  // or why not
        std::string said;           // what the outcomes told, UTF-8
        std::vector<Difference> differences;
    };
    // On `link`, which may be a worker's; the database steps run through `onDatabaseThread`.
    // The steps are shown for the command's own link, not for the provisioning line's workers.
    ProfileWritten writeProfile(Link& link, FieldModel& model, const ListedDevice& tracker,
                                const std::string& profile, DeviceDatabase* database, bool verify,
                                const DatabaseStepRunner& onDatabaseThread = {});
    // The provisioning line's count so far; with `count` above 0, it ends at that many.
    struct LineTally {
        int written = 0;
        int failed = 0;
        bool finished(int count) const { return count > 0 && written + failed >= count; }
    };
    struct Line;
    struct Provisioned;
    // One tracker read, given the profile, written and recorded, on `link`.
    Provisioned provisionOn(Link& link, const ListedDevice& tracker, Line& line,
                            const DatabaseStepRunner& onLineThread);
    // Starts a worker for each tracker of the listing not written since it was plugged in,
    // as many as the line may still take. True when a tracker was written on this thread, as
    // on a bridge of one handle.
    bool takeNewTrackers(Line& line, const Listing& listing);
    // A tracker in hand is done: its trace, its line of output, its count.
    void endProvisioned(Line& line, Provisioned& done);
    void tellProvisioned(const ListedDevice& tracker, const ProfileWritten& done, bool ok,
                         double seconds);
    // The profile read from `tracker` on standard output, its secrets masked unless asked for.
    void printProfile(const FieldModel& model, const ListedDevice& tracker);
    // Each difference on stderr, as a failure of its own.
    void tellDifferences(const std::vector<Difference>& differences);
    // A value read that breaks its rule is kept as read, and said.
    void warnBrokenRules(const FieldModel& model);

    Environment& env_;
    const Options& o_;
    Bridge& bridge_;
    Clock& clock_;
    Link link_;
    std::vector<std::string> descriptions_;
    LinkObserver* observer_;
    // Set once the steps are shown on the terminal.
    class TerminalProgress;
    std::unique_ptr<TerminalProgress> terminal_;
};

}  // namespace korvan::cli
