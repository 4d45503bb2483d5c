// The display names of the transition kinds and the pan/zoom presets.
#include "imaging/view/transitioneffects.h"

const std::array<TEffect, 249> IETransitionNames = {{
    {"Cross Fade", 0, 1},  // 1
    {"Fade Out", 18, 0},  // 2
    {"Fade In", 18, 0},  // 3
    {"Fade Out then In", 0, 0},  // 4
    {"Wipe Left to Right", 1, 1},  // 5
    {"Wipe Left to Right 2", 1, 1},  // 6
    {"Wipe Right to Left", 1, 1},  // 7
    {"Wipe Right to Left 2", 1, 1},  // 8
    {"Wipe Top to Bottom", 1, 1},  // 9
    {"Wipe Top to Bottom 2", 1, 1},  // 10
    {"Wipe Bottom to Top", 1, 1},  // 11
    {"Wipe Bottom to Top 2", 1, 1},  // 12
    {"Slide from Top Left", 9, 0},  // 13
    {"Slide from Top Right", 9, 0},  // 14
    {"Slide from Bottom Left", 9, 0},  // 15
    {"Slide from Bottom Right", 9, 0},  // 16
    {"Push Left to Right", 10, 0},  // 17
    {"Slide Out Left to Right", 9, 0},  // 18
    {"Push Right to Left", 10, 0},  // 19
    {"Slide Out Right to Left", 9, 0},  // 20
    {"Push Top to Bottom", 10, 0},  // 21
    {"Slide Out Top to Bottom", 9, 0},  // 22
    {"Push Bottom to Top", 10, 0},  // 23
    {"Slide Out Bottom to Top", 9, 0},  // 24
    {"Random Points", 14, 1},  // 25
    {"Random Boxes", 14, 1},  // 26
    {"Wipe Out from Center", 1, 1},  // 27
    {"Wipe In to Center", 1, 1},  // 28
    {"Expand Out from Center", 12, 0},  // 29
    {"Expand In to Center", 12, 0},  // 30
    {"Expand from Left", 12, 0},  // 31
    {"Expand from Right", 12, 0},  // 32
    {"Expand from Top", 12, 0},  // 33
    {"Expand from Bottom", 12, 0},  // 34
    {"Expand from Top Left", 12, 0},  // 35
    {"Expand from Top Right", 12, 0},  // 36
    {"Expand from Bottom Left", 12, 0},  // 37
    {"Expand from Bottom Right", 12, 0},  // 38
    {"Expand in from Left", 12, 0},  // 39
    {"Expand in from Right", 12, 0},  // 40
    {"Expand in from Top", 12, 0},  // 41
    {"Expand in from Bottom", 12, 0},  // 42
    {"Expand in to Vertical Center", 12, 0},  // 43
    {"Expand in to Horizon", 12, 0},  // 44
    {"Expand in from Sides", 12, 0},  // 45
    {"Expand in from Top and Bottom", 12, 0},  // 46
    {"Expand out from Horizon", 12, 0},  // 47
    {"Expand out from Vertical Center", 12, 0},  // 48
    {"Wipe from Top Left", 1, 1},  // 49
    {"Wipe from Top Right", 1, 1},  // 50
    {"Wipe from Bottom Left", 1, 1},  // 51
    {"Wipe from Bottom Right", 1, 1},  // 52
    {"Wipe in from Top and Bottom", 1, 1},  // 53
    {"Wipe from Horizon", 1, 1},  // 54
    {"Wipe in from Sides", 1, 1},  // 55
    {"Wipe out from Vertical Center", 1, 1},  // 56
    {"Build up from Left", 17, 0},  // 57
    {"Build up from Right", 17, 0},  // 58
    {"Build up from Top", 17, 0},  // 59
    {"Build up from Bottom", 17, 0},  // 60
    {"Unroll from Left", 2, 1},  // 61
    {"Unroll from Right", 2, 1},  // 62
    {"Unroll from Top", 2, 1},  // 63
    {"Unroll from Bottom", 2, 1},  // 64
    {"Slide in from Left", 9, 0},  // 65
    {"Slide in from Right", 9, 0},  // 66
    {"Slide in from Top", 9, 0},  // 67
    {"Slide in from Bottom", 9, 0},  // 68
    {"Shrink to Top Left", 11, 0},  // 69
    {"Shrink to Top Right", 11, 0},  // 70
    {"Shrink to Bottom Left", 11, 0},  // 71
    {"Shrink to Bottom Right", 11, 0},  // 72
    {"Shrink to Center", 11, 0},  // 73
    {"Quarters Wipe in to Center", 1, 1},  // 74
    {"Quarters Expand to Center", 12, 0},  // 75
    {"Quarters Slide in to Center", 9, 0},  // 76
    {"Curved Wipe from Left", 3, 1},  // 77
    {"Curved Wipe from Right", 3, 1},  // 78
    {"Curved Wipe from Top", 3, 1},  // 79
    {"Curved Wipe from Bottom", 3, 1},  // 80
    {"Curved Wipe from Top Left", 3, 1},  // 81
    {"Curved Wipe from Top Right", 3, 1},  // 82
    {"Curved Wipe from Bottom Left", 3, 1},  // 83
    {"Curved Wipe from Bottom Right", 3, 1},  // 84
    {"Bars in from Left", 8, 1},  // 85
    {"Bars in from Right", 8, 1},  // 86
    {"Bars from Top", 8, 1},  // 87
    {"Bars from Bottom", 8, 1},  // 88
    {"Bars Left then Right", 8, 1},  // 89
    {"Bars Right then Left", 8, 1},  // 90
    {"Bars Top then Bottom", 8, 1},  // 91
    {"Bars Bottom then Top", 8, 1},  // 92
    {"Bars from both Sides", 8, 1},  // 93
    {"Bars from Top and Bottom", 8, 1},  // 94
    {"Shredded from Left", 7, 1},  // 95
    {"Shredded from Right", 7, 1},  // 96
    {"Shredded from Top", 7, 1},  // 97
    {"Shredded from Bottom", 7, 1},  // 98
    {"Shredded from Top and Left", 7, 1},  // 99
    {"Shredded from Top and Right", 7, 1},  // 100
    {"Shredded from Bottom and Left", 7, 1},  // 101
    {"Shredded from Bottom and Right", 7, 1},  // 102
    {"Shredded from Horizon and Left", 7, 1},  // 103
    {"Shredded from Horizon and Right", 7, 1},  // 104
    {"Shredded from Top and Vertical Center", 7, 1},  // 105
    {"Shredded from Bottom and Vertical Center", 7, 1},  // 106
    {"Shredded from Center", 7, 1},  // 107
    {"Shredded to Center", 7, 1},  // 108
    {"Shredded in to Horizon", 7, 1},  // 109
    {"Shredded in to Vertical Center", 7, 1},  // 110
    {"Shredded out from Horizon", 7, 1},  // 111
    {"Shredded out from Vertical Center", 7, 1},  // 112
    {"Expanding Rectangles", 13, 1},  // 113
    {"Expanding Triangles", 13, 1},  // 114
    {"Expanding Circles", 13, 1},  // 115
    {"Expanding Diamonds", 13, 1},  // 116
    {"Circular Wipe from Center", 5, 1},  // 117
    {"Circular Wipe to Center", 5, 1},  // 118
    {"Crisscross Wipe from Top Left", 8, 1},  // 119
    {"Crisscross Wipe from Top Right", 8, 1},  // 120
    {"Crisscross Wipe from Bottom Left", 8, 1},  // 121
    {"Crisscross Wipe from Bottom Right", 8, 1},  // 122
    {"Crisscross Wipe Bounce from Top Left", 8, 1},  // 123
    {"Crisscross Wipe Bounce from Top Right", 8, 1},  // 124
    {"Crisscross Wipe Bounce from Bottom Left", 8, 1},  // 125
    {"Crisscross Wipe Bounce from Bottom Right", 8, 1},  // 126
    {"Crisscross Wipe from Left Right and Top", 8, 1},  // 127
    {"Crisscross Wipe from Left Right and Bottom", 8, 1},  // 128
    {"Crisscross Wipe from Left Top and Bottom", 8, 1},  // 129
    {"Crisscross Wipe from Top Left Right and Bottom", 8, 1},  // 130
    {"Crisscross Wipe from Right Top and Bottom", 8, 1},  // 131
    {"Crisscross Wipe from Bottom Left Top Right", 8, 1},  // 132
    {"Wipe diagonal from Top Left", 4, 1},  // 133
    {"Wipe diagonal from Top Right", 4, 1},  // 134
    {"Wipe diagonal from Bottom Left", 4, 1},  // 135
    {"Wipe diagonal from Bottom Right", 4, 1},  // 136
    {"Diagonal Sweep Clockwise", 15, 1},  // 137
    {"Diagonal Sweep Counter-Clockwise", 15, 1},  // 138
    {"Half Sweep Clockwise", 15, 1},  // 139
    {"Half Sweep Counter-Clockwise", 15, 1},  // 140
    {"Starburst Clockwise", 15, 1},  // 141
    {"Starburst Counter-Clockwise", 15, 1},  // 142
    {"Rotational Rectangle Clockwise", 15, 0},  // 143
    {"Rotational Rectangle Counter-Clockwise", 15, 0},  // 144
    {"Rotational Star Clockwise", 15, 1},  // 145
    {"Rotational Star Counter-Clockwise", 15, 1},  // 146
    {"Speckled Wipe from Left", 2, 1},  // 147
    {"Speckled Wipe from Right", 2, 1},  // 148
    {"Speckled Wipe from Top", 2, 1},  // 149
    {"Speckled Wipe from Bottom", 2, 1},  // 150
    {"Push Left and Slide out", 10, 0},  // 151
    {"Push Right and Slide out", 10, 0},  // 152
    {"Push up and Slide out", 10, 0},  // 153
    {"Push down and Slide out", 10, 0},  // 154
    {"Push and Squeeze Left", 10, 0},  // 155
    {"Push and Squeeze Right", 10, 0},  // 156
    {"Push and Squeeze up", 10, 0},  // 157
    {"Push and Squeeze down", 10, 0},  // 158
    {"Horizontal Blinds", 17, 1},  // 159
    {"Vertical Blinds", 17, 1},  // 160
    {"Uneven Blinds from Left", 17, 1},  // 161
    {"Uneven Blinds from Right", 17, 1},  // 162
    {"Uneven Blinds from Top", 17, 1},  // 163
    {"Uneven Blinds from Bottom", 17, 1},  // 164
    {"Wide Bars from the Left", 8, 1},  // 165
    {"Wide Bars from the Right", 8, 1},  // 166
    {"Wide Bars from the Top", 8, 1},  // 167
    {"Wide Bars from the Bottom", 8, 1},  // 168
    {"Spiralling Rectangle Clockwise", 15, 0},  // 169
    {"Spiralling Rectangle Counter-Clockwise", 15, 0},  // 170
    {"Arrow Wipe from Left", 4, 1},  // 171
    {"Arrow Wipe from Right", 4, 1},  // 172
    {"Arrow Wipe from Top", 4, 1},  // 173
    {"Arrow Wipe from Bottom", 4, 1},  // 174
    {"Horizontal Bow Tie Wipe", 4, 1},  // 175
    {"Vertical Bow Tie Wipe", 4, 1},  // 176
    {"Diagonal Cross from Center", 5, 1},  // 177
    {"Diagonal Cross to Center", 5, 1},  // 178
    {"Zigzag Wipe from Horizon", 4, 1},  // 179
    {"Zigzag Wipe from Vertical Center", 4, 1},  // 180
    {"Diamond Wipe from Center", 5, 1},  // 181
    {"Diamond Wipe to Center", 5, 1},  // 182
    {"Diamond Wipe In and Out", 6, 1},  // 183
    {"Rotational Triangular Wipe", 15, 1},  // 184
    {"Random Big Boxes", 14, 1},  // 185
    {"Page Flip", 0, 0},  // 186
    {"3D Page Flip", 0, 0},  // 187
    {"Reverse Page Flip", 0, 0},  // 188
    {"3D Reverse Page Flip", 0, 0},  // 189
    {"Zigzag Wipe To Horizon", 4, 1},  // 190
    {"Zigzag Wipe To Vertical Center", 4, 1},  // 191
    {"Random Hearts", 14, 1},  // 192
    {"Random 5 Pointed Stars", 14, 1},  // 193
    {"Random 6 Pointed Stars", 14, 1},  // 194
    {"Random Explosions", 14, 1},  // 195
    {"Expanding Hearts", 13, 1},  // 196
    {"Expanding 5 Pointed Stars", 13, 1},  // 197
    {"Expanding 6 Pointed Stars", 13, 1},  // 198
    {"Expanding Explosions", 13, 1},  // 199
    {"Expanding Lightning Bolts", 13, 1},  // 200
    {"Heart Wipe from Center", 5, 1},  // 201
    {"Heart Wipe to Center", 5, 1},  // 202
    {"5 Pointed Star Wipe from Center", 5, 1},  // 203
    {"5 Pointed Star Wipe to Center", 5, 1},  // 204
    {"6 Pointed Star Wipe from Center", 5, 1},  // 205
    {"6 Pointed Star Wipe to Center", 5, 1},  // 206
    {"Explosion Wipe from Center", 5, 1},  // 207
    {"Explosion Wipe to Center", 5, 1},  // 208
    {"Cross Wipe from Center", 5, 1},  // 209
    {"Cross Wipe to Center", 5, 1},  // 210
    {"Heart Wipe In and Out", 6, 1},  // 211
    {"5 Pointed Star Wipe In and Out", 6, 1},  // 212
    {"6 Pointed Star Wipe In and Out", 6, 1},  // 213
    {"Explosion Wipe In and Out", 6, 1},  // 214
    {"Cube Rotate from Left", 0, 1},  // 215
    {"Cube Rotate from Right", 0, 1},  // 216
    {"Cube Rotate from Top", 0, 1},  // 217
    {"Cube Rotate from Bottom", 0, 1},  // 218
    {"Soft Wipe from Left", 2, 1},  // 219
    {"Soft Wipe from Right", 2, 1},  // 220
    {"Soft Wipe from Top", 2, 1},  // 221
    {"Soft Wipe from Bottom", 2, 1},  // 222
    {"Twist In", 4, 1},  // 223
    {"Twist Out", 4, 1},  // 224
    {"Multiple Twist In", 4, 1},  // 225
    {"Multiple Twist Out", 4, 1},  // 226
    {"Random Puzzle Pieces", 14, 1},  // 227
    {"Pacman Devours from Left", 2, 1},  // 228
    {"Pacman Devours from Right", 2, 1},  // 229
    {"Pacman Devours Three Rows", 2, 1},  // 230
    {"Pacman Devours Four Rows", 2, 1},  // 231
    {"Two Simultaneous Rows of Pacman", 2, 1},  // 232
    {"Four Simultaneous Rows of Pacman", 2, 1},  // 233
    {"Six Simultaneous Rows of Pacman", 2, 1},  // 234
    {"Full Sweep Clockwise", 15, 1},  // 235
    {"Expanding Sweep Clockwise", 15, 1},  // 236
    {"3D Cube Rotate from Left", 0, 1},  // 237
    {"3D Cube Rotate from Right", 0, 1},  // 238
    {"3D Cube Rotate from Top", 0, 1},  // 239
    {"3D Cube Rotate from Bottom", 0, 1},  // 240
    {"Random Boxes with Word", 16, 0},  // 241
    {"Random Letters of Word", 16, 0},  // 242
    {"Expanding Letters of Word", 16, 0},  // 243
    {"Word Wipe from Center", 16, 0},  // 244
    {"Word Wipe to Center", 16, 0},  // 245
    {"Word Wipe In and Out", 16, 0},  // 246
    {"Half Sweep with Word", 16, 0},  // 247
    {"Full Sweep with Word", 16, 0},  // 248
    {"Expanding Sweep with Word", 16, 0},  // 249
}};

const std::array<const char*, 46> IEPanZoomNames = {
    "Pan from Top Left to Bottom Right",
    "Pan from Top Right to Bottom Left",
    "Pan from Bottom Left to Top Right",
    "Pan from Bottom Right to Top Left",
    "Pan from Top Left to Center",
    "Pan from Top Right to Center",
    "Pan from Bottom Left to Center",
    "Pan from Bottom Right to Center",
    "Pan from Center to Top Left",
    "Pan from Center to Top Right",
    "Pan from Center to Bottom Left",
    "Pan from Center to Bottom Right",
    "Pan from Left to Right/Top to Bottom",
    "Pan from Left to Center/Top to Center",
    "Pan from Right to Center/Bottom to Center",
    "Pan from Right to Left/Bottom to Top",
    "Pan from Center to Left/Center to Top",
    "Pan from Center to Right/Center to Bottom",
    "Zoom in to Top Left",
    "Zoom in to Top Right",
    "Zoom in to Center",
    "Zoom in to Bottom Left",
    "Zoom in to Bottom Right",
    "Zoom out from Top Left",
    "Zoom out from Top Right",
    "Zoom out from Center",
    "Zoom out from Bottom Left",
    "Zoom out from Bottom Right",
    "Full Zoom in to Top Left",
    "Full Zoom in to Top",
    "Full Zoom in to Top Right",
    "Full Zoom in to Left",
    "Full Zoom in to Center",
    "Full Zoom in to Right",
    "Full Zoom in to Bottom Left",
    "Full Zoom in to Bottom",
    "Full Zoom in to Bottom Right",
    "Full Zoom out from Top Left",
    "Full Zoom out from Top",
    "Full Zoom out from Top Right",
    "Full Zoom out from Left",
    "Full Zoom out from Center",
    "Full Zoom out from Right",
    "Full Zoom out from Bottom Left",
    "Full Zoom out from Bottom",
    "Full Zoom out from Bottom Right",
};
