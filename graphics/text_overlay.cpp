// text_overlay.cpp: building, drawing and freeing the text overlay. Texts are kept in fixed
// 100-character buffers; anything longer is cut at 99 characters so that no buffer, including the
// 200-character line built for label-and-value items, overflows.
#include "graphics/text_overlay.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

constexpr INT lineCapacity = 200;
constexpr INT textLength = TextItem::textCapacity - 1;

// Copies at most 99 characters of `source` and terminates the copy.
void copyText(char (&target)[TextItem::textCapacity], const char* source) {
    size_t length = source ? strnlen(source, textLength) : 0;
    memcpy(target, source ? source : "", length);
    target[length] = '\0';
}

// Length of a text buffer, never reading past its last character.
INT textLengthOf(const char (&text)[TextItem::textCapacity]) {
    return static_cast<INT>(strnlen(text, textLength));
}

void drawString(ID3DXFont* font, const char* text, INT length, INT left, INT top, D3DCOLOR colour) {
    RECT rect;
    SetRect(&rect, left, top, 0, 0);
    font->DrawTextA(nullptr, text, length, &rect, DT_NOCLIP, colour);
}

} // namespace

TextItem::TextItem(INT row, const char* label, const char* value) : row(row) {
    copyText(this->label, label);
    copyText(this->value, value);
}

void TextItem::setValue(const char* text) {
    copyText(value, text);
}

void TextItem::formatValue(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(value, sizeof value, format, arguments);
    va_end(arguments);
}

TextGroup::TextGroup(INT x, INT valueOffset) : items{}, x(x), valueOffset(valueOffset), count(0) {}

TextGroup::~TextGroup() {
    while (count > 0) {
        --count;
        delete items[count];
        items[count] = nullptr;
    }
}

TextItem* TextGroup::addItem(INT row, const char* label, const char* value) {
    if (count >= capacity)
        return nullptr;
    TextItem* item = new TextItem(row, label, value);
    items[count++] = item;
    return item;
}

TextItem* TextGroup::addLabel(INT row, const char* label) {
    return addItem(row, label, "");
}

TextOverlay::TextOverlay(INT topY, INT lineHeight, INT fontHeight)
    : groups{}, count(0), lineHeight(lineHeight), topY(topY), fontHeight(fontHeight),
      colour(0xFFFFFFFF), font(nullptr) {
    D3DXCreateFontA(appState.graphicsDevice, fontHeight, 0, FW_BOLD, 1, FALSE, DEFAULT_CHARSET,
                    OUT_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Arial",
                    &font);
}

TextOverlay::~TextOverlay() {
    free();
    if (font) {
        font->Release();
        font = nullptr;
    }
}

TextGroup* TextOverlay::addGroup(INT x, INT valueOffset) {
    if (count >= capacity)
        return nullptr;
    TextGroup* group = new TextGroup(x, valueOffset);
    groups[count++] = group;
    return group;
}

void TextOverlay::draw() {
    if (!font)
        return;
    for (INT g = 0; g < count; ++g) {
        const TextGroup& group = *groups[g];
        for (INT i = 0; i < group.count; ++i) {
            const TextItem& item = *group.items[i];
            INT y = lineHeight * item.row + topY;
            INT labelLength = textLengthOf(item.label);
            INT valueLength = textLengthOf(item.value);
            if (group.valueOffset == 0) {
                char line[lineCapacity];
                INT length = snprintf(line, sizeof line, "%.*s%.*s", labelLength, item.label,
                                      valueLength, item.value);
                drawString(font, line, length, group.x, y, colour);
            } else {
                drawString(font, item.label, labelLength, group.x, y, colour);
                drawString(font, item.value, valueLength, group.x + group.valueOffset, y, colour);
            }
        }
    }
}

void TextOverlay::free() {
    while (count > 0) {
        --count;
        delete groups[count];
        groups[count] = nullptr;
    }
}
