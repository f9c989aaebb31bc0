// SPDX-License-Identifier: MIT
#pragma once

class GlyphCanvas;

inline constexpr int kBuiltinGlyphCount = 48;

// Draws glyph 0..kBuiltinGlyphCount-1, each a different small picture of a
// thing, within about 14..86 of the canvas box.
void drawBuiltinGlyph(GlyphCanvas &canvas, int index);
// What glyph `index` shows, in a player's words.
const char *builtinGlyphName(int index);
