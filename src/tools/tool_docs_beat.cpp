// The reference's second worked example: the first one's square with music, a line of text in a
// font that bvtool font makes, and a pulse on the beat, seen through bvtool timeline and plot.
#include "tools/tool_docs.h"

namespace tools {

const char *const kWorkedExampleBeat = R"(
## Worked example: words on the beat

The square again, now with music, a line of text in a TrueType font and the text's size pulsing on
the beat; then the timeline and the curve as pictures, to see that everything lands where it should.
This document names its records (`name="..."`) and refers to them as `@name`, so that records added
later renumber nothing.

**The music.** Put a piece at 120 beats a minute into `mydemo` as `music.ogg` (the sample's
`build/sample/music.ogg` is one; its drums come in at 8 s) and name it in the last section,
`<music file="music.ogg" offset="0"/>`. The player starts the music at its offset plus 0.125 s and
hands the sound device 8192 bytes of silence (0.046 s) before the first sample: the first beat is
heard at 0.171 s, 17.14 time units, and the others follow every 50 units (half a second).

**The font.** `bvtool font` makes the glyphs from any TrueType or OpenType font:

    bvtool font /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf mydemo --material @ink

It writes a model for every glyph of the glyph map (the table above) that the font has into the
folder, beside the document whose model records name them, sized so that a capital letter stands 1
unit tall (`--depth D` extrudes them), and `mydemo/font.xml` (which `bvtool build` leaves out):
the glyphs' model records, with names, and the font record with its 87 glyph records, their offsets
and widths from the font's advances (the space's too). A glyph the font lacks has no model, and the
command lists it on standard error. Paste the model records into `<models>` after the square's and
the font record into `<fonts>`, and call the font `dejavu` (`<font name="dejavu">`); `bvtool check`
names any reference that the paste leaves pointing elsewhere. Every glyph is drawn with the material
that `--material` names: `ink`, below. (`bvtool font FONT.ttf OUTDIR --demo "TEXT"` writes a whole
small demo folder that shows TEXT: another place to start.)

**The pulse.** A Sinus segment, f(x) = a * sin(x * b - c) + d, repeats every 2 pi / b time units:
for one beat, 50 units, b = 2 pi / 50 = 0.1256637. It is at its top where x * b - c = pi / 2; for
that to be the first beat, x = 17.144, c = 17.144 * b - pi / 2 = 0.5836. With a = 0.1 and d = 1 the
letters' size swings between 0.9 and 1.1, largest on every beat (the pen advances by the font's widths
whatever the scale, so the line keeps its length while its letters grow). A layer evaluates its
values at its own time, from 0 where it starts: the words' layer starts at 8 s, 800 units, sixteen
beats, so its beats fall where the music's do (a layer that starts between two beats shifts them by
as much; its `offset` can shift them back).

```xml
<?xml version="1.0" encoding="UTF-8"?>
<demo>
  <texture_layers>
    <!-- 0: bricks, as before -->
    <layer type="4"><p>0.7</p><p>0.3</p><p>0.2</p><p>0.9</p><p>0.9</p><p>0.85</p><p>8</p><p>4</p><p>3</p><p>3</p><p>32</p></layer>
  </texture_layers>
  <procedural_textures>
    <!-- 1 and 2: as before -->
    <texture name="bricks" type="101" layer_id="0"><i>0</i><output>2</output><p>0</p><p>1</p></texture>
    <texture name="wall" type="255" texture_format="0" texture_filter="2"><i>1</i></texture>
  </procedural_textures>
  <models>
    <!-- 1 -->
    <model name="square" filename="square.mdl"/>
    <!-- 2 and on: the model records of font.xml, one a glyph -->
  </models>
  <functions>
    <!-- 1: spin, 0.9 degrees a hundredth of a second -->
    <function name="spin" type="0" loop_type="0" loop_begin="0" loop_end="0"><s type="1" length="7400"><p>0.9</p><p>0</p></s></function>
    <!-- 2: pulse: 1 + 0.1 sin(x b - c), b = 2 pi / 50 (a beat), c = 17.144 b - pi / 2: at its top on the beats -->
    <function name="pulse" type="0" loop_type="0" loop_begin="0" loop_end="0"><s type="3" length="7400"><p>0.1</p><p>0.1256637</p><p>0.5836</p><p>1</p></s></function>
  </functions>
  <lights>
    <!-- 1: white, above and in front -->
    <light name="white"><v type="static" value="0.2"/><v type="static" value="0.2"/><v type="static" value="0.2"/><v type="static" value="0.9"/><v type="static" value="0.9"/><v type="static" value="0.9"/><v type="static" value="2"/><v type="static" value="3"/><v type="static" value="5"/></light>
  </lights>
  <effects2d/>
  <bitmaps/>
  <cubemaps/>
  <fonts>
    <!-- 1: the font record of font.xml, called dejavu -->
  </fonts>
  <texture_slots>
    <!-- 1: procedural texture 2 -->
    <slot name="wall" type="0" id="@wall"/>
  </texture_slots>
  <materials>
    <!-- 1: wall: lit, textured, opaque -->
    <material name="wall"><depth_test value="1"/><normalization value="1"/><blend_function value="2"/><red type="static" value="1"/><green type="static" value="1"/><blue type="static" value="1"/><alpha type="static" value="1"/><light1 value="@white"/><texture1 value="@wall" wrapmode="0" cgenmode="0" rotation="0" function="0"/></material>
    <!-- 2: ink: the glyphs' flat gold, unlit -->
    <material name="ink"><depth_test value="1"/><blend_function value="2"/><red type="static" value="1"/><green type="static" value="0.8"/><blue type="static" value="0.2"/><alpha type="static" value="1"/></material>
  </materials>
  <mesh_effects/>
  <objects>
    <!-- 1: the square, turning about y -->
    <object name="square"><item type="0" object="@square" material="@wall">
      <v type="static" value="0"/><v type="static" value="0"/><v type="static" value="0"/>
      <v type="static" value="0"/><v type="dynamic" value="@spin"/><v type="static" value="0"/>
      <v type="static" value="1"/><v type="static" value="1"/><v type="static" value="1"/>
      <visibility value="0"/><time_offset value="0"/><face_camera value="0"/>
    </item></object>
    <!-- 2: the words, behind the square's place and centred (DejaVu Sans sets "on the beat" about 7.9
         units long, its capitals 1 tall), their letters' size pulsing on the beat -->
    <object name="words"><item type="2" font="@dejavu" text="on the beat">
      <v type="static" value="-3.95"/><v type="static" value="-0.5"/><v type="static" value="-1"/>
      <v type="static" value="0"/><v type="static" value="0"/><v type="static" value="0"/>
      <v type="dynamic" value="@pulse"/><v type="dynamic" value="@pulse"/><v type="static" value="1"/>
      <visibility value="0"/><time_offset value="0"/><face_camera value="0"/>
    </item></object>
  </objects>
  <timeline>
    <!-- slot 0: the square for the whole piece -->
    <slot>
      <layer id="@square" space_before="0" length="7400" offset="0" type="0" clearcolor="0" clearcolorbuffer="1" clearzbuffer="1">
        <v type="static" value="0"/><v type="static" value="0"/><v type="static" value="4"/>
        <v type="static" value="0"/><v type="static" value="0"/><v type="static" value="0"/>
        <v type="static" value="60"/><v type="static" value="100"/><v type="static" value="1.7777778"/>
      </layer>
    </slot>
    <!-- slot 1: the words over it from 8 s, where the drums come in -->
    <slot>
      <layer id="@words" space_before="800" length="6600" offset="0" type="0" clearcolor="0" clearcolorbuffer="0" clearzbuffer="1">
        <v type="static" value="0"/><v type="static" value="0"/><v type="static" value="4"/>
        <v type="static" value="0"/><v type="static" value="0"/><v type="static" value="0"/>
        <v type="static" value="60"/><v type="static" value="100"/><v type="static" value="1.7777778"/>
      </layer>
    </slot>
  </timeline>
  <music file="music.ogg" offset="0"/>
</demo>
```

**Seeing it.** The timeline and the curve, drawn from the document as the player reads it:

    bvtool timeline mydemo timeline.png --bpm 120
    bvtool plot mydemo pulse.png --function @pulse --from 0s --to 3s --bpm 120

![The timeline: the square's layer, the words' layer after its gap, the music beneath](example_timeline.png)

A row for each layer slot: the square's layer for the whole piece, the words' layer after its 8 s
gap. Beneath, the music as it is heard, from 0.17 s to 74.17 s; the red line is where the player
ends the demo, 74.01 s, the first time at which no layer draws (a layer includes its last
hundredth); `--bpm` draws a line on every beat from where the music is heard, a stronger one every
fourth. What `bvtool check` finds in the timeline (a gap where nothing draws, a timeline in the
wrong unit against the music's length) would be numbered where it is.

![The pulse over the words' first three seconds, its tops on the beat lines](example_pulse.png)

The pulse over the words' first three seconds, in the layer's own time: its tops fall on the beat
lines (which `plot` draws in the function's time as the layer that uses it sees it). A function of
several segments shows each in its own colour with its kind; a spline shows its knots where the
engine places them, and a loop its range.

`bvtool preview mydemo` shows both while you edit: T draws the timeline under the frame with the
playhead (a click in it seeks there), C the curves of the functions that the frame uses.
)";

const char *docs_worked_example_beat() {
    return kWorkedExampleBeat;
}

} // namespace tools
