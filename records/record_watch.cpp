#include "records/record_watch.h"

MatchEnd RecordWatch::observe(const MatchView& view) {
    const bool started = !watching || view.match != lastMatch;
    if (started) {
        aloneThroughout = view.alone;
        computerThroughout = view.againstComputer;
        level = view.level;
    } else {
        aloneThroughout = aloneThroughout && view.alone;
        computerThroughout = computerThroughout && view.againstComputer && view.level == level;
    }
    const bool ended = view.over && (started || !wasOver);
    wasOver = view.over;
    lastMatch = view.match;
    watching = true;
    if (!ended) return MatchEnd::None;
    if (aloneThroughout && !view.versus) return MatchEnd::TimeTrial;
    if (computerThroughout && view.versus) return MatchEnd::ComputerMatch;
    return MatchEnd::None;
}
