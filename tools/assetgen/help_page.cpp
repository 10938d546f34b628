#include "tools/assetgen/help_page.h"

namespace assetgen {

std::string helpPage() {
    return R"HTML(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Quorix help</title>
<style>
  body { margin: 0; font-family: "Comfortaa", "Quicksand", "DejaVu Sans", sans-serif; line-height: 1.55;
         color: #f5ecd7; background: linear-gradient(#0b1230, #1d2b64) fixed; }
  main { max-width: 46em; margin: 0 auto; padding: 1.5em 1.2em 3em; }
  h1 { font-family: "Lobster Two", "Lobster", serif; font-style: italic; font-size: 3.2em; margin: 0.2em 0 0;
       color: #f2c14e; text-shadow: 0 3px 6px #000; }
  h2 { color: #f2c14e; border-bottom: 1px solid #c9a44c; padding-bottom: 0.2em; margin-top: 1.8em; }
  section { background: rgba(26, 31, 58, 0.85); border: 1px solid #c9a44c; border-radius: 14px;
            padding: 0.4em 1.2em 1em; margin-top: 1.2em; box-shadow: 0 4px 14px rgba(0, 0, 0, 0.5); }
  table { border-collapse: collapse; width: 100%; }
  th, td { text-align: left; padding: 0.3em 0.6em; border-bottom: 1px solid rgba(201, 164, 76, 0.35);
           vertical-align: top; }
  th { color: #f2c14e; }
  kbd { background: #f5ecd7; color: #1a1f3a; border-radius: 4px; padding: 0 0.35em; font-weight: bold; }
  code { color: #ffe6a0; }
  nav a { color: #f2c14e; margin-right: 0.8em; }
  .lead { font-size: 1.15em; }
</style>
</head>
<body>
<main>
<h1>Quorix</h1>
<p class="lead">A jewel puzzle: swap neighbouring gems, line up three or more of one colour, and watch them vanish.</p>
<nav><a href="#rules">Rules</a><a href="#bonuses">Bonuses</a><a href="#modes">Modes</a>
<a href="#difficulty">Difficulties</a><a href="#scoring">Scoring</a><a href="#controls">Controls</a>
<a href="#menu">Menu</a><a href="#files">Files</a><a href="#framework">How it is built</a></nav>

<section id="rules">
<h2>Rules</h2>
<p>The board has 12 columns and 8 rows of gems. Click a gem, then one of its four neighbours: the two change
places if the exchange makes a line of at least three gems of one colour in a row or a column. Otherwise
they stay where they are and are deselected.</p>
<p>Every line vanishes. The gems above fall into the holes and new gems grow in at the top. Lines that the
falling gems make vanish too and score again.</p>
<p>Each colour has its own shape (circle, square, diamond, triangle, hexagon, star and heart), so every gem
can be told apart without colour.</p>
<p>When no move is left, the board is dealt anew with a <em>Zap Attack</em> and you receive 1000 points
(not in relax mode, where you end the game yourself).</p>
</section>

<section id="bonuses">
<h2>Bonuses</h2>
<p>Some gems carry a bonus picture. A bonus fires when its gem vanishes, for whatever reason, so one line
can set off a chain.</p>
<table>
<tr><th>Picture</th><th>Effect</th><th>Points</th></tr>
<tr><td>Bomb</td><td>clears the 3 &times; 3 block around the gem</td><td>100 + 9 units</td></tr>
<tr><td>Horizontal arrows</td><td>clears the whole row</td><td>100 + 12 units</td></tr>
<tr><td>Vertical arrows</td><td>clears the whole column</td><td>100 + 8 units</td></tr>
<tr><td>Crossed arrows</td><td>clears the column and the row</td><td>200 + 20 units</td></tr>
<tr><td>Question mark</td><td>becomes one of the others (or nothing) as it fires</td><td>as the bonus it becomes</td></tr>
</table>
</section>

<section id="modes">
<h2>Game modes</h2>
<table>
<tr><th>Mode</th><th>Goal</th><th>Your result</th></tr>
<tr><td>60 Seconds</td><td>score as much as you can before the clock runs out</td><td>points</td></tr>
<tr><td>5 Minutes</td><td>the same over five minutes</td><td>points</td></tr>
<tr><td>Million</td><td>pass one million points as fast as you can; every unit is worth 100 points here</td><td>the time taken (less is better)</td></tr>
<tr><td>Relax</td><td>no clock and no pressure: any two neighbours may be swapped and hints are free; press
Exit when you want to stop</td><td>points</td></tr>
</table>
</section>

<section id="difficulty">
<h2>Difficulties</h2>
<table>
<tr><th>Difficulty</th><th>Colours</th><th>Bonuses</th></tr>
<tr><td>Easy</td><td>6</td><td>eight on every fresh board, and one new gem in five carries one</td></tr>
<tr><td>Normal</td><td>5</td><td>one new gem in fifteen</td></tr>
<tr><td>Hard</td><td>6</td><td>one new gem in fifteen</td></tr>
<tr><td>Expert</td><td>7</td><td>one new gem in fifteen</td></tr>
</table>
</section>

<section id="scoring">
<h2>Scoring</h2>
<p>Lines found together score more the more of them there are: 5 units for one line of three, 40 for two at
once, 320 for three and 640 beyond (a unit is one point, or 100 in Million mode). Bonuses add their own points.
A hint costs 50 units (free in relax mode) and is only sold when you can pay for it.</p>
<p>The best three results of every mode and difficulty enter the high-score tables. A result that ranks
asks for your name: type it and press <kbd>Enter</kbd>. Results are also offered to the world-wide table
when the score server can be reached.</p>
</section>

<section id="controls">
<h2>Controls</h2>
<table>
<tr><th>Input</th><th>Action</th></tr>
<tr><td>Left click</td><td>select a gem; click a neighbour to swap</td></tr>
<tr><td>New game</td><td>start again in the same mode (<kbd>F1</kbd> does the same)</td></tr>
<tr><td>Hint</td><td>makes a movable gem wobble</td></tr>
<tr><td>Exit</td><td>back to the menu</td></tr>
<tr><td><kbd>P</kbd></td><td>pause and resume</td></tr>
<tr><td><kbd>Esc</kbd></td><td>leave the game; in the menu, quit</td></tr>
<tr><td>Options page</td><td>click the tune name for the next tune; drag the sliders for effects and music
volume; click the gem row (or use <kbd>&larr;</kbd> <kbd>&rarr;</kbd>, or right click) to change the gem set</td></tr>
</table>
</section>

<section id="menu">
<h2>Menu and launcher</h2>
<p>Before the game starts, a small window lets you choose full screen or a window, one of seven skins
(Classic, For Her, For Him, Simply Pink, Cool Blue, Fresh Green, Flower Power) and opens this page.
In the menu, the buttons on the right show the game set-up, this summary, the options, the high scores and
the credits; Play starts a game.</p>
</section>

<section id="files">
<h2>Where files are kept</h2>
<p>The same files, under the same names, in one of two places. A game started from a folder it may
write to, with its <code>data</code> folder beside it, keeps everything there. An installed game reads
its data from <code>share/quorix</code> and keeps your files in your own folders.</p>
<table>
<tr><th>File</th><th>Beside the program</th><th>Installed</th><th>Holds</th></tr>
<tr><td><code>prefs.raw</code></td><td>beside the program</td><td><code>~/.config/quorix</code></td><td>volumes, mode, difficulty, gem set, tune</td></tr>
<tr><td><code>s60</code>, <code>s5mn</code>, <code>smil</code>, <code>srelx</code></td><td><code>data</code></td><td><code>~/.local/share/quorix</code></td><td>the high-score tables</td></tr>
<tr><td><code>fullscreen.stt</code>, <code>skin.stt</code>, <code>gamepad.stt</code></td><td><code>data</code></td><td><code>~/.local/share/quorix</code></td><td>the launcher's choices</td></tr>
<tr><td><code>scoreserver.txt</code></td><td><code>data</code></td><td><code>~/.config/quorix</code></td><td>the address of the score server</td></tr>
<tr><td><code>music</code></td><td><code>data</code></td><td><code>share/quorix</code></td><td>the tunes; add your own Ogg Vorbis files beside the program (up to 20 are listed)</td></tr>
<tr><td><code>gems</code></td><td><code>data</code></td><td><code>share/quorix</code></td><td>the gem sets</td></tr>
</table>
<p>The folders under your home are those of <code>$XDG_CONFIG_HOME</code> and <code>$XDG_DATA_HOME</code>
when they are set. Scores are written when you enter your name and when you leave the game, settings
when you leave it.</p>
</section>

<section id="framework">
<h2>How Quorix is built</h2>
<p>Quorix runs on its own small 2D game framework. Every picture you see is drawn as textured squares
into a fixed 640 &times; 480 screen, which is then scaled to your window or your whole screen. The game
counts frames, never seconds: it runs 75 frames a second, and every speed, fade and clock tick is a
number of frames, so a game plays the same on every computer.</p>
<table>
<tr><th>Part</th><th>What it does</th></tr>
<tr><td>Window</td><td>opens the game's window or the full screen, shows each finished frame and keeps the pace</td></tr>
<tr><td>Pictures</td><td>loads TGA, JPEG, BMP, PNG, PCX and TIFF pictures and draws them whole, in parts, tinted, turned or zoomed</td></tr>
<tr><td>Text</td><td>writes with fonts that are themselves pictures: one little box per letter</td></tr>
<tr><td>Input</td><td>asks the keyboard and the mouse, every frame, what is held down and where the pointer is</td></tr>
<tr><td>Sound</td><td>plays WAV and Ogg Vorbis effects, several at once, and streams the music on a thread of its own</td></tr>
<tr><td>Web</td><td>asks the score server whether a result ranks, and sends it there</td></tr>
</table>
<p>All pictures, sounds and tunes are drawn and composed by the game's own generator when it is built.</p>
</section>
</main>
</body>
</html>
)HTML";
}

} // namespace assetgen
