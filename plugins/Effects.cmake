# The effects we ship, one row each, in the order the demo renders them.
# Everything else that needs to know them takes them from here: the build
# (one plug-in folder per row), the generated header kqfx/ShippedEffects.h
# that the tests, the demo, the fuzz replays, the benchmarks and the LV2
# bundle read, and the package description. See "Adding an effect" in the
# README.
#
# kqfx_effect(<name>
#   FOLDER <folder under plugins/>   CODE <its four-character unique id>
#   PARAMETERS <how many>            SUMMARY <a few words, for the package>
#   LV2_CLASSES <LV2 classes, without the lv2: prefix>
#   DESCRIPTION <one line, for LV2 hosts>
#   DEMO_LABEL <the demo setting's preset name>
#   [PRESET_PER_CHOICE <parameter>: one preset per choice of it instead]
#   DEMO <"Parameter=value" (0..1) ...>  DEMO_TAIL <seconds of silence after
#   the demo signal, for what rings on>)
# The demo signal runs at 120 beats per minute: a tempo parameter (0..1
# for 0..300 beats per minute) matches it at 0.4.

# 2.4 dB louder, with the DC filter's gentle low cut; the loudest peaks
# stay below full scale.
kqfx_effect(Pellvo FOLDER dc-remover CODE KQPE PARAMETERS 1 SUMMARY "DC remover"
  LV2_CLASSES HighpassPlugin UtilityPlugin DESCRIPTION "Input gain, then DC removal."
  DEMO_LABEL "A little louder" DEMO "Input Gain=0.55" DEMO_TAIL 0)

# Driven into a ceiling 6 dB down: the drum peaks are shaved flat.
kqfx_effect(Grubbel FOLDER limiter CODE KQGR PARAMETERS 2 SUMMARY "hard limiter"
  LV2_CLASSES LimiterPlugin DESCRIPTION "Input gain, then a sample-by-sample hard limiter."
  DEMO_LABEL "Shaved peaks" DEMO "Input Gain=0.6" "Limit=0.5" DEMO_TAIL 0)

# A long hall about 11 dB under the dry signal, left to ring out.
kqfx_effect(Vardello FOLDER reverb CODE KQVA PARAMETERS 4 SUMMARY "reverb with ten room models"
  LV2_CLASSES ReverbPlugin
  DESCRIPTION "Stereo reverb with ten room models and a compressor on the reverberated signal."
  DEMO_LABEL "" PRESET_PER_CHOICE Model
  DEMO "Dry Level=0.5" "Depth=0.6" "Brightness=0.6" "Model=0.35" DEMO_TAIL 3)

# A sweep over two beats between 8000 and 400 Hz with a singing peak.
kqfx_effect(Quistrel FOLDER tempo-filter CODE KQQU PARAMETERS 6
  SUMMARY "tempo-swept resonant low-pass" LV2_CLASSES LowpassPlugin
  DESCRIPTION "Resonant four-pole low-pass swept by a triangle LFO over 1 to 32 beats of a set tempo."
  DEMO_LABEL "Two-beat sweep"
  DEMO "Input Gain=0.5" "Tempo=0.4" "Every n=0.05" "Cutoff (Hi)=0.4" "Cutoff (Lo)=0.02"
       "Resonance=0.65"
  DEMO_TAIL 0)

# Beat echoes behind a 200 Hz low cut, trading sides.
kqfx_effect(Morvane FOLDER filtered-echo CODE KQMO PARAMETERS 4 SUMMARY "one-beat tempo echo"
  LV2_CLASSES DelayPlugin
  DESCRIPTION "One-beat echo behind a low cut; the quiet echo changes sides every beat."
  DEMO_LABEL "Trading echoes"
  DEMO "Input Gain=0.5" "Tempo=0.4" "Cutoff=0.012" "Feedback=0.45" DEMO_TAIL 3)

# Beat echoes spread across the stereo field.
kqfx_effect(Tallisk FOLDER spread-echo CODE KQTA PARAMETERS 4 SUMMARY "one-beat tempo echo"
  LV2_CLASSES DelayPlugin
  DESCRIPTION "One-beat echo with depth and spread; the echoes alternate between the sides."
  DEMO_LABEL "Spread echoes" DEMO "Input Gain=0.5" "Tempo=0.4" "Depth=0.5" "Spread=0.6" DEMO_TAIL 2)

# Warm sine saturation: louder peaks are rounded off smoothly.
kqfx_effect(Fennick FOLDER distortion CODE KQFE PARAMETERS 4 SUMMARY "three-curve distortion"
  LV2_CLASSES DistortionPlugin
  DESCRIPTION "Input gain, a waveshaping curve mixed with the dry signal, DC removal and a hard clip."
  DEMO_LABEL "Warm saturation" DEMO "Input Gain=0.65" "Type=1.0" "Blast=0.8" "Zeta=0.3" DEMO_TAIL 0)
