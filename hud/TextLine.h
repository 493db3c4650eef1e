#ifndef KELTO_HUD_TEXTLINE_H
#define KELTO_HUD_TEXTLINE_H

// A line of the view's text put together from words and numbers, in a fixed buffer: the view
// writes a few dozen of them every frame, and the C library's formatting would cost more than
// drawing them. What does not fit is left off.
class TextLine {
public:
    static constexpr int CAPACITY = 63;

    TextLine();
    virtual ~TextLine();

    TextLine &Add( const char *words );
    TextLine &Add( int number );

    const char *Get() const { return text; }
    int GetLength() const { return length; }

private:
    char text[CAPACITY + 1];
    int length;
};

#endif
