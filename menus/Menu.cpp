#include "menus/Menu.h"

#include "gfx/Image.h"
#include "hud/Font.h"
#include "hud/HudColours.h"
#include "menus/MenuInput.h"

#include <cstring>

namespace {

const int ADVANCE = Font::ADVANCE * Menu::SCALE;
const int VALUE_GAP = 3 * ADVANCE;
// The selected entry's arrows around a value that steps.
const char *const STEP_LEFT = "< ";
const char *const STEP_RIGHT = " >";

int Width( const std::string &text ) {
    return Font::Measure( text.c_str(), Menu::SCALE );
}

} // namespace

Menu::Menu() : selected( 0 ), top( -1 ) {
}

Menu::~Menu() {
}

void Menu::Start( const char *newTitle ) {
    title = newTitle != nullptr ? newTitle : "";
    entries.clear();
    selected = 0;
}

void Menu::Add( int id, const char *label, const std::string &value, int stepped ) {
    entries.push_back( Entry{ id, label, value, stepped } );
}

void Menu::SetValue( int id, const std::string &value ) {
    for ( Entry &entry : entries ) {
        if ( entry.id == id ) {
            entry.value = value;
        }
    }
}

int Menu::GetSelectedId() const {
    return entries.empty() ? -1 : entries[selected].id;
}

void Menu::Select( int id ) {
    for ( int i = 0; i < GetCount(); i++ ) {
        if ( entries[i].id == id ) {
            selected = i;
        }
    }
}

Menu::Event Menu::Update( const MenuInput &input ) {
    Event event = { EVENT_NONE, GetSelectedId(), 0 };
    const int count = GetCount();
    if ( count == 0 ) {
        return event;
    }
    if ( input.Has( MenuInput::UP ) ) {
        selected = ( selected + count - 1 ) % count;
    } else if ( input.Has( MenuInput::DOWN ) ) {
        selected = ( selected + 1 ) % count;
    }
    event.id = GetSelectedId();
    const Entry &entry = entries[selected];
    if ( input.Has( MenuInput::BACK ) || input.Has( MenuInput::ERASE ) ) {
        event.type = EVENT_BACK;
    } else if ( input.Has( MenuInput::SELECT ) ) {
        event.type = EVENT_CHOSEN;
    } else if ( entry.stepped && ( input.Has( MenuInput::LEFT ) || input.Has( MenuInput::RIGHT ) ) ) {
        event.type = EVENT_STEPPED;
        event.step = input.Has( MenuInput::LEFT ) ? -1 : 1;
    }
    return event;
}

int Menu::LabelWidth() const {
    int widest = 0;
    for ( const Entry &entry : entries ) {
        const int width = Width( entry.label );
        widest = width > widest ? width : widest;
    }
    return widest;
}

Rect Menu::GetBox( int screenWidth, int screenHeight ) const {
    int valueWidth = 0;
    for ( const Entry &entry : entries ) {
        if ( entry.value.empty() && !entry.stepped ) {
            continue;
        }
        const int width = Width( std::string( STEP_LEFT ) + entry.value + STEP_RIGHT );
        valueWidth = width > valueWidth ? width : valueWidth;
    }
    int width = LabelWidth() + ( valueWidth > 0 ? VALUE_GAP + valueWidth : 0 ) + 2 * PADDING;
    if ( width < Width( title ) + 2 * PADDING ) {
        width = Width( title ) + 2 * PADDING;
    }
    width = width < MIN_WIDTH ? MIN_WIDTH : ( width > screenWidth ? screenWidth : width );
    const int height = ( title.empty() ? 0 : TITLE_HEIGHT ) + GetCount() * ROW_HEIGHT + 2 * PADDING;
    const int left = ( screenWidth - width ) / 2;
    const int boxTop = top >= 0 ? top : ( screenHeight - height ) / 2;
    return Rect( left, boxTop, left + width - 1, boxTop + height - 1 );
}

void Menu::Draw( Image &screen, const HudColours &colours ) const {
    const Rect box = GetBox( screen.GetWidth(), screen.GetHeight() );
    screen.FillRect( box, colours.GetPanel() );
    screen.DrawRect( box, colours.GetText() );
    int y = box.top + PADDING;
    if ( !title.empty() ) {
        const int x = ( screen.GetWidth() - Width( title ) ) / 2;
        Font::Draw( screen, x, y, title.c_str(), colours.GetBright(), colours.GetShadow(), SCALE );
        y += TITLE_HEIGHT;
    }
    const int labelX = box.left + PADDING;
    const int valueX = labelX + LabelWidth() + VALUE_GAP;
    const int glyphTop = ( ROW_HEIGHT - Font::GLYPH_HEIGHT * SCALE ) / 2;
    for ( int i = 0; i < GetCount(); i++, y += ROW_HEIGHT ) {
        const Entry &entry = entries[i];
        const int isSelected = i == selected;
        if ( isSelected ) {
            screen.FillRect( box.left + 2, y, box.right - 2, y + ROW_HEIGHT - 1, colours.GetSky() );
        }
        const uint8_t colour = isSelected ? colours.GetBright() : colours.GetText();
        Font::Draw( screen, labelX, y + glyphTop, entry.label.c_str(), colour, colours.GetShadow(), SCALE );
        if ( entry.value.empty() && !entry.stepped ) {
            continue;
        }
        // Every value in one column; the selected stepped one's arrows stand either side of it.
        const int arrows = isSelected && entry.stepped;
        const std::string value = arrows ? std::string( STEP_LEFT ) + entry.value + STEP_RIGHT : entry.value;
        const int x = arrows ? valueX : valueX + int( std::strlen( STEP_LEFT ) ) * ADVANCE;
        Font::Draw( screen, x, y + glyphTop, value.c_str(), colour, colours.GetShadow(), SCALE );
    }
}
