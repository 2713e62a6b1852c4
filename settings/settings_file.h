#pragma once
// The player's own config.txt, read at start-up and written when a setting is
// changed in the game. The file stays the player's: every line the game does
// not know (comments, blank lines, unknown keys) stays where it was, and only
// the values of the settings changed are rewritten.

#include <iosfwd>
#include <string>

#include "settings/settings.h"

// `before` is what `text` gave when read, `after` what it should give now:
// the text with the value of each setting that differs replaced where its last
// occurrence stands (the one that counts), and a "key value" line added at the
// end for a setting the text does not name. The star bounds, checked as a pair,
// are written as a pair.
std::string changedConfigText(const std::string& text, const GameSettings& before, const GameSettings& after);

class SettingsFile {
public:
    // `ownPath`: the player's config.txt, "" when the player has no settings
    // folder; `sharedPath`: the one read while the player has none.
    SettingsFile(std::string ownPath, std::string sharedPath);

    // Reads the player's own file, or else the shared one, into `settings`.
    void load(GameSettings& settings, std::ostream& errors);

    // Writes into the player's own file the settings that differ from those
    // loaded or last saved. A missing file is made from the shared one, its
    // folder created private to the player. The file is replaced whole
    // (base/replace_file.h). False, with one line on `errors`, when it cannot
    // be written; the settings still differ then and the next save tries again.
    bool save(const GameSettings& settings, std::ostream& errors);

    const std::string& ownPath() const { return own; }

private:
    bool readBase(std::string& text, std::string& failure) const;

    std::string own;
    std::string shared;
    GameSettings held;  // what the player's file gives, as far as the game knows
};
