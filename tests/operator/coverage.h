#pragma once
// What the random operator reached: per session, the windows and controls it acted on and the
// deep states it brought about (a record downloaded, a timed output sent, ...). Each shard of the
// run writes what its sessions reached to a file; once every shard is done, the run fails when a
// window, a command button or a deep state was reached by none of its sessions.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vc::operatore {

inline constexpr int kShards = 8;

struct Reached {
    std::string run;                 // the seeds and actions, so that shards of different runs are not mixed
    std::set<std::string> windows;   // every window there is
    std::set<std::string> buttons;   // "Form.Command1": every command button of every window loaded
    std::set<std::string> acted;     // "Form" and "Form.Control" the operator's actions reached
    std::map<std::string, long> states;  // deep state -> how many times

    void add(const Reached& other);
    // What no session reached, one line each; empty when everything was.
    std::vector<std::string> missing() const;
};

// The shard's file in 'dir'.
std::string shardFile(const std::string& dir, int shard);
bool write(const std::string& file, const Reached& r);
std::optional<Reached> read(const std::string& file);

}  // namespace vc::operatore
