#include "HelpText.h"

#include "analyze/AnalyzeRequest.h"

namespace kqfx::command {
namespace {

const char* const kOverview = R"(usage: kqfx COMMAND [ARGUMENTS]

Inspect VST 2 and LV2 plug-ins and render audio files through them.

commands:
  list                         the plug-ins kqfx can find
  info PLUGIN [--json]         a plug-in's identity, channels and parameters
  render PLUGIN INPUT OUTPUT   run audio through a plug-in into a file
  demo [DIR]                   render the built-in demo through each kqfx effect
  bench PLUGIN...              how much CPU plug-ins take, side by side
  validate PLUGIN [--level N]  check that a plug-in behaves under what hosts do
  analyze PLUGIN [--what KIND] plot a plug-in's response, decay and distortion
  help [COMMAND]               this page, or the page of one command
  --version                    the version of kqfx

PLUGIN is a plug-in name such as Pellvo (any case), looked up as in
'kqfx list', the path of any Linux VST 2 shared object, an LV2 plug-in's
URI (urn:kqfx:Pellvo), or the path of an LV2 bundle holding one plug-in
or of the shared object in a bundle. A name found in both formats is
refused with the candidates listed unless --format vst2 or --format lv2
says which; kqfx's own effects, the same in both, mean their VST 2 form.

VST 2 plug-ins are looked for in this order: kqfx's own (beside the
installed program, or in its build tree), each folder of KQFX_PLUGIN_PATH
(colon-separated), ~/.vst, then /usr/local/lib/vst, /usr/lib/vst, their
lxvst and x86_64-linux-gnu variants (KQFX_SYSTEM_VST_PATH, when set,
replaces these system folders; set it empty to search none of them).
LV2 plug-ins are read, through lilv, from kqfx's own bundle (beside the
installed program in <prefix>/lib/lv2, or in its build tree), then the
folders of LV2_PATH, or when it is not set ~/.lv2, /usr/local/lib/lv2
and /usr/lib/lv2.

Every command that runs a plug-in runs it in a child process of its own
process group: a plug-in that crashes or ends the process is reported in
one line (which plug-in, what kqfx was doing with it, the block and the
sample rate) with exit status 1 and no output file left behind, and
SIGINT, SIGTERM or Ctrl-C end kqfx within a second even when the plug-in
hangs and ignores signals (its process group is then killed).

Exit status: 0 done, 1 failed, 2 bad command line; a render stopped by a
signal ends by that signal and leaves no output file behind.
)";

const char* const kList = R"(usage: kqfx list [--format vst2|lv2] [--timeout SECONDS] [--json]

Lists every plug-in kqfx can find, one line each: name, format, identifier
(a VST 2 plug-in's four characters, an LV2 plug-in's URI), number of
parameters (LV2: control inputs), path (LV2: the bundle); the VST 2
plug-ins first. The first VST 2 line for a name is the plug-in that
'kqfx info NAME' and 'kqfx render NAME' use. Control characters in file
names are shown escaped (\e, \n, \x01).

Each VST 2 plug-in is loaded in a child process, so one that crashes or
hangs is reported on standard error and skipped. LV2 plug-ins are listed
from their descriptions: no code of theirs is loaded.

options:
  --format vst2|lv2   list the plug-ins of one format only
  --timeout SECONDS   how long one plug-in may take to load (default 10)
  --json              print one JSON object: "plugins" (name, format,
                      uniqueId or uri, parameters, path) and "skipped"
                      (path, problem)
)";

const char* const kHelp = R"(usage: kqfx help [COMMAND]

Shows the overview of kqfx, or the page of one command: list, info,
render, demo, bench, validate or help. 'kqfx COMMAND --help' shows the
same page.
)";

const char* const kInfo = R"(usage: kqfx info PLUGIN [--json] [--format vst2|lv2] [-p NAME=VALUE...]

Shows a VST 2 plug-in's unique identifier, version, flags, inputs and
outputs, latency (read once the plug-in is switched on), programs and a
table of its parameters: index, name, value (0..1), value text and label.
For an LV2 plug-in: its URI, bundle, shared object, class, the features it
requires (and those of them kqfx cannot give) and may use, inputs and
outputs, latency and latency port, and a table of its ports: index,
symbol, name, type, value, range, default, unit and scale points.

options:
  --json                   print the same as one JSON object
  --format vst2|lv2        look for PLUGIN in one format only
  -p, --param NAME=VALUE   preview a setting as 'kqfx render' takes it: the
                           table shows the texts it gives; nothing is
                           rendered; repeatable
)";

const char* const kRender = R"(usage: kqfx render PLUGIN INPUT OUTPUT [options]
       kqfx render PLUGIN --demo OUTPUT [options]
       kqfx render PLUGIN -o OUTDIR INPUT... [-j N] [options]

Runs INPUT through the plug-in and writes OUTPUT, in stereo (or mono with
--channels 1), at INPUT's sample rate unless --rate or the format asks for
another. With --demo the built-in demo signal is used instead (four
seconds of drums and tones at 120 beats per minute). An existing OUTPUT is
replaced only with -y; it then keeps its permissions, and a symlink is
written through to its target. OUTPUT may not be INPUT, nor a link to it.

INPUT may be any file libsndfile reads (WAV, FLAC, AIFF, OGG, ...), mono or
stereo; a mono file feeds both plug-in inputs. '-' as INPUT reads standard
input; '-' as OUTPUT writes a 32-bit float WAV file to standard output
(messages then go to standard error). OUTPUT's format follows its
extension: .wav (32-bit float), .flac, .aiff/.aif (24-bit), .ogg (Vorbis),
.opus, .mp3, .caf, .w64, .rf64, .au (32-bit float). OUTPUT is written under a
temporary name beside it and appears only once the render has finished;
an existing OUTPUT stays untouched if the render fails or is stopped.
Samples an integer format has to clip are counted and reported, and an
INPUT shorter than its header says is warned about. The delay a plug-in
reports once it has processed its first block is taken off the front of
OUTPUT and added to its end. Should the plug-in change its delay later in
the render (announced or not), a warning names the frame, and the delay
read at the start stays compensated: following the change would cut or
repeat audio in the middle of OUTPUT.

options:
  --demo                   render the built-in demo signal (no INPUT)
  -o, --output-dir OUTDIR  render every INPUT into OUTDIR under its own
                           name, each in a process of its own, with one
                           summary at the end (exit status 1 if one failed)
  -j, --jobs N             renders at a time with -o (default: one per core)
  -y, --overwrite          replace OUTPUT if it exists
  -p, --param NAME=VALUE   set a parameter; NAME is its name (any case;
                           quote names with spaces) or its index. VALUE is
                           a number from 0 to 1 (the plug-in's own scale),
                           or a value as 'kqfx info' shows it: a choice
                           (model=Catacombs), a number out of 0..1 or with
                           the unit (tempo=120, "input gain=+6dB"); the
                           nearest setting is used and printed. Repeatable.
                           An LV2 control port is named by its name, its
                           symbol or its port index, and takes its own
                           value: a number within its range, with or
                           without its unit, or a scale point's label.
  --format vst2|lv2        look for PLUGIN in one format only
                           The plug-in settles on silence with the values
                           set, so they hold from the first sample.
  --glide                  let the values glide in from the defaults over
                           the first moments instead, as in a host
  -b, --block FRAMES       frames per process call (default 512)
  -t, --tail SECONDS       silence appended after the input, so reverbs and
                           echoes ring out (default 0); 'auto' goes on until
                           the output has stayed below -96 dBFS for a second
                           (at most an hour)
  --inputs MAP             what feeds each plug-in input, comma-separated:
                           L (left), R (right), M (mid) or 0 (silence);
                           default L,R, M for one input, silence for more
                           (a side-chain). The map is printed whenever the
                           plug-in is not two in, two out.
  --outputs MAP            the plug-in outputs written left and right,
                           from 1 ("2,1" swaps; one number for both);
                           default 1,2, or 1 for a one-output plug-in
  -r, --rate HZ            sample rate of the demo signal (default 44100);
                           with INPUT, the rate OUTPUT is resampled to
                           (libsamplerate, best quality). A format that
                           cannot hold the rate (Opus above 48000 Hz or at
                           44100 Hz, MP3 above 48000 Hz) is resampled to
                           the next rate up it holds, else the next down.
  --bits 16|24|32          integer samples of that width (WAV, AIFF, FLAC
                           to 24, CAF, Wave64, RF64, AU); 16 bits are TPDF
                           dithered. Default: the format's own, as above
  --channels 1|2           1 writes the mid (L+R)/2, for a mono take kept
                           mono; default 2
  -q, --quiet              print nothing but warnings and errors: no
                           progress bar (it is shown only on a terminal,
                           for jobs that look like taking a second or
                           more), no settings and no summary
  --json                   instead of the lines above, one summary for
                           programs on standard output (standard error
                           when OUTPUT is '-'): {"renders": [...], "failed":
                           [INPUT...]}, each render with input (null for
                           --demo), output, frames and sampleRate (the
                           plug-in's), outputSampleRate, channels,
                           latencyCompensated, clippedSamples and
                           warnings; warnings still go to standard error
)";

const char* const kDemo = R"(usage: kqfx demo [DIR] [--quiet]

Renders the built-in demo signal through each kqfx effect that can be
found, with settings chosen to show it off, into DIR (default demo-out):
dry.wav, the signal itself, and one NAME.wav per effect. Effects that are
not found are skipped with a note.

options:
  -q, --quiet   no progress bar (shown on a terminal for long renders)
)";

const char* const kBench = R"(usage: kqfx bench PLUGIN... [options]

Times each plug-in's processing (processReplacing, or process where that is
all it has; an LV2 plug-in's run) on stereo noise at -12 dBFS, the plug-ins
in turn, round-robin over 7 repetitions, and prints per plug-in the median
and minimum CPU time per stereo frame in nanoseconds, the real-time factor,
the share of one core it takes at the sample rate, and how many instances
fit in one core. Two more runs show the cost relative to the plain one:
gliding (a parameter written every block: the first one set with -p, else
the first parameter, moved by a quarter and back) and silence after sound
(a loud second, then five times --seconds of digital silence). The last row
is the floor: the same loop copying the input to the output.

options:
  -p, --param NAME=VALUE   set a parameter of the plug-in named before it,
                           or of every plug-in when it comes first; as in
                           'kqfx render'; repeatable
  -b, --block FRAMES       frames per process call (default 512)
  -r, --rate HZ            sample rate (default 44100)
  -s, --seconds SECONDS    audio timed per repetition and run (default 1)
  --format vst2|lv2        look for every PLUGIN in one format only
  --json                   print the results as one JSON object
)";

const char* const kValidate = R"(usage: kqfx validate PLUGIN [--level 1..10] [--seed N] [--json] [options]
       kqfx validate --list-checks [--level N]

Loads the plug-in and puts it through what hosts put plug-ins through,
printing one line per check (PASS, FAIL or SKIP, its name, what was seen)
and a summary. PLUGIN may be any Linux VST 2 plug-in, or an LV2 plug-in
(by URI, bundle, shared object or name; --format vst2|lv2 chooses).

LV2 plug-ins go through the same checks as LV2 hosts drive them: loading
and lifecycle are instantiate, activate, deactivate and cleanup (a rate
or block size change makes a new instance); parameters are the control
inputs, set to values in their range (integer, toggled and enumerated
ones to their own values); a port declared costly to change or not for
automation is set but, as in a host, not moved while audio runs. Checks of what LV2 does not have are shown as
N/A and not run: metadata (names and ranges are in the description),
threads (LV2 writes control inputs on the thread that runs the plug-in)
and editor. One check is LV2's alone:
  2  connections      audio ports and control inputs connected to other
                      buffers between runs give the same output
A plug-in that requires features kqfx does not give is skipped, saying
which.

Levels add checks and strictness (--list-checks shows which):
  1  loading          the entry function answers an effect record
     lifecycle        open and close cold and warm (level x 10 times each),
                      instances side by side, every opcode -1 to 60 but
                      the editor's
     metadata         parameter names, labels and value texts terminated,
                      stable and free of locale effects; getParameter
                      answers what was set
     audio            noise at 44100, 48000 and 96000 Hz in blocks of 1 to
                      4096 frames: no NaN, infinity or subnormal out
  2  in-place         the same buffers for input and output
     block-split      the same output whatever the block sizes, once the
                      plug-in has settled for half a second
  3  automation       up to 16 parameters (in turn) moved before every
                      32-frame block
     rate-block       sample rate (8 to 384 kHz) and block size changes
                      between suspend and resume
  4  bad-audio        NaN, infinities and 1e30 in the input; finite output
                      again a second (plus the declared tail) later
     parameter-fuzz   values at the edges of 0..1 that rounding in hosts
                      gives (-0, subnormal, -1e-7, just above 1)
  5  threads          parameters written from another thread while audio runs
     real-time        no malloc, free, new or delete inside a process call
     silence          ten seconds of silence after a loud burst cost no more
                      than sound (within 1.5x) and give no subnormal output
  7  parameter-fuzz writes values far outside 0..1 (-1, 2, 100, 1e30, the
     float limits), NaN and infinities too
 10  in-place and block-split ask for identical output, bit for bit
  editor            only with --gui and a display: the editor opened in a
                    window, idled while audio runs, closed; twice

The comparisons (in-place, block-split) say by how much outputs differ,
in dB relative to the signal's peak. Below level 10 a difference of up to
-70 dB passes: plug-ins that take other code paths for other block sizes
round differently, and resonant filters lift that to some -85 dB; a real
fault (a click at block edges, settings that glide per call) is louder.

Each check runs in a process of its own, in a process group of its own:
a crash or a hang (past --timeout, whatever the plug-in did with its
descriptors) is reported as that check's failure, and ending validate
(Ctrl-C, SIGTERM) ends the check too. What the plug-in printed is shown
under its check. A failure also shows what led to it (the sample rate,
block size and last calls made into the plug-in, with their values) and
the command that replays that check alone: every random choice follows
from the seed and the check's name.

options:
  -l, --level N       1 (quick) to 10 (thorough); default 5
  --format vst2|lv2   look for PLUGIN in this format only
  -s, --seed N        the seed of every random choice; default 1
  -c, --check NAME    run only this check, whatever its level (repeatable);
                      loading always runs
      --timeout SECS  how long one check may take (default 300)
      --gui           also open the plug-in's editor (needs a display);
                      without it no editor opcode is ever sent
      --extreme-rates rate-block tries 1 Hz and 768 kHz too
      --list-checks   say what the level runs and makes stricter
      --json          print the results as one JSON object

Exit status: 0 when no check failed, 1 when one did, 2 bad command line.
)";

}  // namespace

std::string helpText(const std::string& topic) {
  if (topic.empty()) return kOverview;
  if (topic == "list") return kList;
  if (topic == "info") return kInfo;
  if (topic == "render") return kRender;
  if (topic == "demo") return kDemo;
  if (topic == "bench") return kBench;
  if (topic == "validate") return kValidate;
  if (topic == "analyze") return analyzeHelpText();
  if (topic == "help") return kHelp;
  return {};
}

std::string usageLine(const std::string& topic) {
  const std::string page = helpText(topic);
  const std::string source = page.empty() ? std::string(kOverview) : page;
  return source.substr(0, source.find('\n'));
}

}  // namespace kqfx::command
