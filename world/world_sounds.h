#pragma once
// Where the world's sounds go. The game plays them through its sound device; a
// match without sound (the computer opponent, the tests) leaves them unset.
// The names: "pop1" our capture, "pop2" the opponent's, "wh1" / "wh2" a ship
// wrapping at a face (by its skin).

class WorldSounds {
public:
    virtual ~WorldSounds() = default;
    virtual void play(const char* name) = 0;
};
