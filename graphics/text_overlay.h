// text_overlay.h: the head-up text overlay, a small table of text drawn over the scene. A
// TextOverlay holds columns (TextGroups) at fixed pixel positions; each column holds lines
// (TextItems) made of a label and a value on a numbered row. All text is drawn with one bold Arial
// font of D3DX on the graphics device of appState.
#pragma once

#include "app/application_state.h"
#include <d3dx9.h>

// One line of a column: a fixed label and a changing value, on row `row` (0 is the top line).
struct TextItem {
    static constexpr INT textCapacity = 100; // characters, with the terminating zero

    char label[textCapacity];
    char value[textCapacity];
    INT row;

    TextItem(INT row, const char* label, const char* value);

    // Both copy at most 99 characters and always terminate; longer texts are truncated.
    void setValue(const char* text);
    void formatValue(const char* format, ...);
};

// One column: up to four items at left edge `x`. A `valueOffset` of 0 writes each value
// directly behind its label; otherwise values start `valueOffset` pixels right of `x`.
struct TextGroup {
    static constexpr INT capacity = 4;

    TextItem* items[capacity];
    INT x;
    INT valueOffset;
    INT count;

    TextGroup(INT x, INT valueOffset);
    ~TextGroup();
    TextGroup(const TextGroup&) = delete;
    TextGroup& operator=(const TextGroup&) = delete;

    // Null, with nothing changed, when the group is full.
    TextItem* addItem(INT row, const char* label, const char* value);
    TextItem* addLabel(INT row, const char* label);
};

struct TextOverlay {
    static constexpr INT capacity = 9;

    TextGroup* groups[capacity];
    INT count;
    INT lineHeight;
    INT topY;
    INT fontHeight;
    D3DCOLOR colour;
    ID3DXFont* font;

    // Creates the font on appState.graphicsDevice; a failure leaves `font` null and the
    // overlay then draws nothing.
    TextOverlay(INT topY, INT lineHeight, INT fontHeight);
    ~TextOverlay();
    TextOverlay(const TextOverlay&) = delete;
    TextOverlay& operator=(const TextOverlay&) = delete;

    // Null, with nothing changed, when the overlay is full.
    TextGroup* addGroup(INT x, INT valueOffset = 0);
    // Draws every item with the font, over whatever has been drawn so far in the scene.
    void draw();
    // Frees every group and item, last first; `count` ends at 0.
    void free();
};
