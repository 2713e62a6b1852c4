#include "records/record_watch.h"

MatchEnd RecordWatch::observe(const MatchView& view) {
    const bool started = view.matchMs < lastMs || (wasOver && !view.over);
    if (started) {
        aloneThroughout = view.alone;
        computerThroughout = view.againstComputer;
        level = view.level;
    } else {
        aloneThroughout = aloneThroughout && view.alone;
        computerThroughout = computerThroughout && view.againstComputer && view.level == level;
    }
    const bool ended = view.over && !wasOver;
    wasOver = view.over;
    lastMs = view.matchMs;
    if (!ended) return MatchEnd::None;
    if (aloneThroughout && !view.versus) return MatchEnd::TimeTrial;
    if (computerThroughout && view.versus) return MatchEnd::ComputerMatch;
    return MatchEnd::None;
}
