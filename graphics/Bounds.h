#pragma once
// Bounds: a rectangle in editor pixels (origin top-left, y downwards), right and bottom
// exclusive for hit testing. A rectangle is empty only when all four values are 0; other
// degenerate rectangles count as non-empty.

struct Bounds
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool Empty() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Contains(int x, int y) const { return !Empty() && left <= x && x < right && top <= y && y < bottom; }
    bool operator==(const Bounds&) const = default;
};

// Neither is empty and they overlap; touching at a's right or bottom edge counts.
inline bool Intersects(const Bounds& a, const Bounds& b)
{
    return !a.Empty() && !b.Empty() && a.right >= b.left && a.left < b.right && a.bottom >= b.top &&
           a.top < b.bottom;
}

// The smallest rectangle holding both; an empty operand yields the other.
inline Bounds Union(const Bounds& a, const Bounds& b)
{
    if (a.Empty())
        return b;
    if (b.Empty())
        return a;
    return {a.left < b.left ? a.left : b.left, a.top < b.top ? a.top : b.top,
            a.right > b.right ? a.right : b.right, a.bottom > b.bottom ? a.bottom : b.bottom};
}

// The overlap of two intersecting rectangles; all zeros when they do not intersect.
inline Bounds Clip(const Bounds& a, const Bounds& b)
{
    if (!Intersects(a, b))
        return {};
    return {a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
            a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
}
