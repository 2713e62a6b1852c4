#pragma once
// How the world looks: star markers, ships and the chase camera. Kept apart
// from the world's state and rules so that a match runs without a display.

class DrawSurface3D;
class Frame;
class PlayerState;
class TextureManager;

// The six ship images under their texture names ("Ship Top" ... "Ship2 Burner").
void loadShipTextures(TextureManager& textures);
// Records two crossed squares per star into the surface, in the star's colour.
void drawStars(const PlayerState& player, DrawSurface3D& surface);
// The ship in immediate-mode GL under the camera's view, in the player's skin.
void drawShip(const PlayerState& player, const Frame& camera, TextureManager& textures);
// Puts the camera 15 units behind the ship, looking the way the arena faces.
void followCamera(const PlayerState& player, Frame& camera);
