#pragma once
// Blend: how a control's bitmap draws onto the editor surface. Method 0 draws with the
// bitmap's per-pixel alpha, 1 copies opaquely, 2 adds with alpha, 3 dodges with alpha;
// any other method draws as 0. Weight 1.0 is full strength; grayed controls use 0.25.

struct Blend
{
    int method = 0;
    float weight = 1.0f;
};
