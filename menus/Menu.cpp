#include "menus/Menu.h"

#include "gfx/Image.h"
#include "hud/Font.h"
#include "hud/HudColours.h"
#include "menus/MenuInput.h"
#include "menus/PanelCopy.h"

#include <cstring>
#include <new>

namespace {

const int ALIGNMENT = 16;
// The game's screen, until a menu is drawn on another.
const int SCREEN_WIDTH = 640;
const int SCREEN_HEIGHT = 480;
// The selected entry's arrows around a value that steps.
const char *const STEP_LEFT = "< ";
const char *const STEP_RIGHT = " >";

int Width( const std::string &text, int scale ) {
    return Font::Measure( text.c_str(), scale );
}

} // namespace

Menu::Menu()
    : titleScale( SCALE ), scale( SCALE ), rowHeight( ROW_HEIGHT ), selected( 0 ), top( -1 ), panelDrawn( 0 ),
      panelColour( 0 ), screenWidth( SCREEN_WIDTH ), screenHeight( SCREEN_HEIGHT ) {
}

Menu::~Menu() {
}

void Menu::Start( const char *newTitle, int newTitleScale ) {
    title = newTitle != nullptr ? newTitle : "";
    titleScale = newTitleScale;
    scale = SCALE;
    rowHeight = ROW_HEIGHT;
    entries.clear();
    selected = 0;
    panelDrawn = 0;
}

void Menu::SetTop( int newTop ) {
    top = newTop;
    panelDrawn = 0;
}

void Menu::SetSmall() {
    scale = 1;
    rowHeight = SMALL_ROW_HEIGHT;
    panelDrawn = 0;
}

void Menu::Add( int id, const char *label, const std::string &value, int stepped ) {
    entries.push_back( Entry{ id, label, value, stepped } );
    panelDrawn = 0;
}

void Menu::SetValue( int id, const std::string &value ) {
    for ( Entry &entry : entries ) {
        if ( entry.id == id && entry.value != value ) {
            entry.value = value;
            panelDrawn = 0;
        }
    }
}

std::string Menu::GetValue( int id ) const {
    for ( const Entry &entry : entries ) {
        if ( entry.id == id ) {
            return entry.value;
        }
    }
    return std::string();
}

int Menu::GetSelectedId() const {
    return entries.empty() ? -1 : entries[selected].id;
}

void Menu::Select( int id ) {
    for ( int i = 0; i < GetCount(); i++ ) {
        if ( entries[i].id == id && selected != i ) {
            selected = i;
            panelDrawn = 0;
        }
    }
}

Menu::Event Menu::Update( const MenuInput &input ) {
    Event event = { EVENT_NONE, GetSelectedId(), 0 };
    const int count = GetCount();
    if ( count == 0 ) {
        return event;
    }
    if ( input.HasPointerMoved() ) {
        const int pointed = EntryAt( input.GetPointerX(), input.GetPointerY(), screenWidth, screenHeight );
        if ( pointed >= 0 && pointed != selected ) {
            selected = pointed;
            panelDrawn = 0;
        }
    }
    if ( input.Has( MenuInput::CLICK ) ) {
        const Event click = Click( input );
        if ( click.type != EVENT_NONE ) {
            return click;
        }
    }
    if ( input.Has( MenuInput::UP ) ) {
        selected = ( selected + count - 1 ) % count;
        panelDrawn = 0;
    } else if ( input.Has( MenuInput::DOWN ) ) {
        selected = ( selected + 1 ) % count;
        panelDrawn = 0;
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

Menu::Event Menu::Click( const MenuInput &input ) {
    Event event = { EVENT_NONE, GetSelectedId(), 0 };
    const int clicked = EntryAt( input.GetClickX(), input.GetClickY(), screenWidth, screenHeight );
    if ( clicked < 0 ) {
        return event;
    }
    if ( clicked != selected ) {
        selected = clicked;
        panelDrawn = 0;
    }
    event.id = GetSelectedId();
    if ( !entries[clicked].stepped ) {
        event.type = EVENT_CHOSEN;
        return event;
    }
    const Rect box = GetBox( screenWidth, screenHeight );
    event.type = EVENT_STEPPED;
    event.step = input.GetClickX() < ( box.left + box.right + 1 ) / 2 ? -1 : 1;
    return event;
}

Rect Menu::GetEntryBox( int place, int width, int height ) const {
    const Rect box = GetBox( width, height );
    const int rowTop = box.top + PADDING + TitleHeight() + place * rowHeight;
    return Rect( box.left, rowTop, box.right, rowTop + rowHeight - 1 );
}

int Menu::EntryAt( int x, int y, int width, int height ) const {
    const Rect first = GetEntryBox( 0, width, height );
    if ( x < first.left || x > first.right || y < first.top ) {
        return -1;
    }
    const int place = ( y - first.top ) / rowHeight;
    return place < GetCount() ? place : -1;
}

int Menu::LabelWidth() const {
    int widest = 0;
    for ( const Entry &entry : entries ) {
        const int width = Width( entry.label, scale );
        widest = width > widest ? width : widest;
    }
    return widest;
}

int Menu::TitleHeight() const {
    return title.empty() ? 0 : Font::GLYPH_HEIGHT * titleScale + TITLE_GAP;
}

Rect Menu::GetBox( int screenWidth, int screenHeight ) const {
    int valueWidth = 0;
    for ( const Entry &entry : entries ) {
        if ( entry.value.empty() && !entry.stepped ) {
            continue;
        }
        const int width = Width( std::string( STEP_LEFT ) + entry.value + STEP_RIGHT, scale );
        valueWidth = width > valueWidth ? width : valueWidth;
    }
    int width = LabelWidth() + ( valueWidth > 0 ? 2 * Font::ADVANCE * scale + valueWidth : 0 ) + 2 * PADDING;
    const int titleWidth = Font::Measure( title.c_str(), titleScale ) + 2 * PADDING;
    width = width < titleWidth ? titleWidth : width;
    width = width < MIN_WIDTH ? MIN_WIDTH : width;
    // Whole blocks of 16 pixels, on a 16-pixel column: every frame copies the panel row by row,
    // and aligned rows copy fastest.
    width = ( width + ALIGNMENT - 1 ) / ALIGNMENT * ALIGNMENT;
    width = width > screenWidth ? screenWidth : width;
    const int height = TitleHeight() + GetCount() * rowHeight + 2 * PADDING;
    const int left = ( screenWidth - width ) / 2 / ALIGNMENT * ALIGNMENT;
    const int boxTop = top >= 0 ? top : ( screenHeight - height ) / 2;
    return Rect( left, boxTop, left + width - 1, boxTop + height - 1 );
}

// The box is measured again only when the panel changes: measuring every entry's text in
// every frame would cost more than copying the panel.
void Menu::Draw( Image &screen, const HudColours &colours ) const {
    if ( !panelDrawn || panel == nullptr || screen.GetWidth() != screenWidth ||
         screen.GetHeight() != screenHeight ) {
        screenWidth = screen.GetWidth();
        screenHeight = screen.GetHeight();
        panelBox = GetBox( screenWidth, screenHeight );
        const int width = panelBox.right - panelBox.left + 1;
        const int height = panelBox.bottom - panelBox.top + 1;
        if ( panel == nullptr || panel->GetWidth() != width || panel->GetHeight() != height ) {
            panel.reset( new ( std::nothrow ) Image( width, height ) );
        }
        if ( panel == nullptr || panel->GetPixels() == nullptr ) {
            panel.reset();
            return; // no memory for the panel: no menu rather than a broken one
        }
        DrawPanel( *panel, colours );
        panelDrawn = 1;
        panelColour = colours.GetPanel();
    } else if ( panelColour != colours.GetPanel() ) {
        DrawPanel( *panel, colours );
        panelColour = colours.GetPanel();
    }
    CopyPanel( *panel, screen, panelBox.left, panelBox.top );
}

void Menu::DrawPanel( Image &target, const HudColours &colours ) const {
    const Rect box = target.GetBounds();
    target.FillRect( box, colours.GetPanel() );
    target.DrawRect( box, colours.GetText() );
    int y = box.top + PADDING;
    if ( !title.empty() ) {
        const int x = ( target.GetWidth() - Font::Measure( title.c_str(), titleScale ) ) / 2;
        Font::Draw( target, x, y, title.c_str(), colours.GetBright(), colours.GetShadow(), titleScale );
        y += TitleHeight();
    }
    const int labelX = box.left + PADDING;
    const int valueX = labelX + LabelWidth() + 2 * Font::ADVANCE * scale;
    const int glyphTop = ( rowHeight - Font::GLYPH_HEIGHT * scale ) / 2;
    for ( int i = 0; i < GetCount(); i++, y += rowHeight ) {
        const Entry &entry = entries[i];
        const int isSelected = i == selected;
        if ( isSelected ) {
            target.FillRect( box.left + 2, y, box.right - 2, y + rowHeight - 1, colours.GetSky() );
        }
        const uint8_t colour = isSelected ? colours.GetBright() : colours.GetText();
        Font::Draw( target, labelX, y + glyphTop, entry.label.c_str(), colour, colours.GetShadow(), scale );
        if ( entry.value.empty() && !entry.stepped ) {
            continue;
        }
        // Every value in one column; the selected stepped one's arrows stand either side of it.
        const int arrows = isSelected && entry.stepped;
        const std::string value = arrows ? std::string( STEP_LEFT ) + entry.value + STEP_RIGHT : entry.value;
        const int x = arrows ? valueX : valueX + int( std::strlen( STEP_LEFT ) ) * Font::ADVANCE * scale;
        Font::Draw( target, x, y + glyphTop, value.c_str(), colour, colours.GetShadow(), scale );
    }
}
