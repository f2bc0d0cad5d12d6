#pragma once

// The captions ask for Tahoma, which only Windows is sure to have.
namespace Fonts {

constexpr char CaptionFamily[] = "Tahoma";
constexpr int CaptionPointSize = 10;

// Where Tahoma is missing, lets the toolkit draw the captions in a narrower
// family that carries every Vietnamese letter, so they fit their fixed
// geometry. Needs the application object; safe to call more than once.
void substituteMissingCaptionFamily();

} // namespace Fonts
