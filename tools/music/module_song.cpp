// module_song.cpp: the composition, written as short text scores that a small writer turns into cells.
//
// A pattern is four bars of 4/4 in sixteenth-note rows (speed 6, tempo 125: 120 ms a row, 7.68 s a
// pattern). Channel 1 (left) plays the drums, 2 (right) the bass, 3 (right) pads or arpeggios, and
// 4 (left) the lead, so bass and melody sit on opposite sides.
#include "module_song.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "module_synth.h"

namespace {

constexpr int BAR_ROWS = 16;
constexpr int BARS = MODULE_ROWS / BAR_ROWS;

constexpr int CH_DRUMS = 0;
constexpr int CH_BASS = 1;
constexpr int CH_CHORDS = 2;
constexpr int CH_LEAD = 3;

// Sample slots, in the order composeSong stores them.
constexpr uint8_t SAMPLE_KICK = 1;
constexpr uint8_t SAMPLE_SNARE = 2;
constexpr uint8_t SAMPLE_HAT = 3;
constexpr uint8_t SAMPLE_OPEN_HAT = 4;
constexpr uint8_t SAMPLE_BASS = 5;
constexpr uint8_t SAMPLE_PLUCK = 6;
constexpr uint8_t SAMPLE_PAD_MAJOR = 7;
constexpr uint8_t SAMPLE_PAD_MINOR = 8;
constexpr uint8_t SAMPLE_LEAD = 9;

// Where each part's chord tones and roots are placed (MIDI numbers).
constexpr int BASS_LOWEST = 28;  // E1: bass roots E1..D#2
constexpr int PAD_LOWEST = 52;   // E3: pad roots E3..D#4
constexpr int ARP_LOWEST = 52;   // E3: arpeggio voicings start at the first chord tone from here
constexpr int ARP_TONES = 6;

struct Chord {
    int root = 0;  // pitch class, C = 0
    bool minor = false;
    int third() const { return root + (minor ? 3 : 4); }
    int fifth() const { return root + 7; }
    bool has(int midi) const {
        const int pc = ((midi - root) % 12 + 12) % 12;
        return pc == 0 || pc == (minor ? 3 : 4) || pc == 7;
    }
};

// Lowest MIDI number >= lowest with the given pitch class.
int placeAbove(int pitchClass, int lowest) {
    return lowest + ((pitchClass - lowest) % 12 + 12) % 12;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator)) parts.push_back(part);
    return parts;
}

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream stream(text);
    std::string word;
    while (stream >> word) out.push_back(word);
    return out;
}

// Pitch class of a note letter with an optional '#' or 'b'; -1 if it is none. Advances pos.
int parsePitchClass(const std::string& text, size_t& pos) {
    static const int LETTER[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
    if (pos >= text.size() || text[pos] < 'A' || text[pos] > 'G') return -1;
    int pc = LETTER[text[pos++] - 'A'];
    if (pos < text.size() && (text[pos] == '#' || text[pos] == 'b')) {
        pc += text[pos] == '#' ? 1 : 11;
        ++pos;
    }
    return pc % 12;
}

// Writes one pattern from text scores. The first mistake is kept in problem and every later call
// does nothing, so a score is checked as a whole and reported once.
class PatternWriter {
public:
    PatternWriter(std::string& problem, const char* name) : problem(problem), name(name) {}

    ModulePattern pattern{};

    // Starts a note; midi is the sounding pitch, base the pitch the instrument plays at C-1.
    void note(int row, int channel, uint8_t sample, int midi, int base) {
        const int note = midi - base + 1;
        if (note < 1 || note > MODULE_NOTES) return fail(row, channel, "note outside C-1..B-3");
        noteAt(row, channel, sample, note);
    }

    // Starts a note given as a tracker note 1..36.
    void noteAt(int row, int channel, uint8_t sample, int note) {
        if (!problem.empty()) return;
        if (row < 0 || row >= MODULE_ROWS) return fail(row, channel, "row outside the pattern");
        ModuleCell& cell = pattern[row][channel];
        if (cell.note != 0) return fail(row, channel, "two notes in one cell");
        cell.sample = sample;
        cell.note = static_cast<uint8_t>(note);
    }

    // Sets a cell's effect; a second effect for the same cell is a mistake, never a silent overwrite.
    void effect(int row, int channel, uint8_t effect, uint8_t param) {
        if (!problem.empty()) return;
        if (row < 0 || row >= MODULE_ROWS) return fail(row, channel, "row outside the pattern");
        ModuleCell& cell = pattern[row][channel];
        if (cell.effect != 0 || cell.param != 0) return fail(row, channel, "two effects in one cell");
        cell.effect = effect;
        cell.param = param;
    }

    // Sixteen steps per bar, bars separated by '|': K kick, S snare, s ghost snare, h hat, x soft hat,
    // o open hat, C accented open hat, T high tom, t low tom, '.' nothing.
    void drums(const char* score) {
        const std::vector<std::string> bars = split(score, '|');
        if (bars.size() != BARS) return fail(0, CH_DRUMS, "drum score is not four bars");
        for (int bar = 0; bar < BARS; ++bar) {
            const std::string steps = trim(bars[bar]);
            if (steps.size() != BAR_ROWS) return fail(bar * BAR_ROWS, CH_DRUMS, "drum bar is not 16 steps");
            for (int step = 0; step < BAR_ROWS; ++step) drumHit(bar * BAR_ROWS + step, steps[step]);
        }
    }

    // A bass line per bar, bars separated by '|': R root, O root an octave up, 5 fifth, 3 third,
    // 7 minor seventh, '-' rest, each followed by ':' and its length in rows.
    void bass(const std::vector<Chord>& chords, const char* score) {
        const std::vector<std::string> bars = split(score, '|');
        if (bars.size() != BARS) return fail(0, CH_BASS, "bass score is not four bars");
        for (int bar = 0; bar < BARS; ++bar) {
            const int root = placeAbove(chords[bar].root, BASS_LOWEST);
            int row = bar * BAR_ROWS;
            for (const std::string& token : words(bars[bar])) {
                const int length = tokenLength(token, row, CH_BASS);
                if (length == 0) return;
                int midi = 0;
                switch (token[0]) {
                    case 'R':
                        midi = root;
                        break;
                    case 'O':
                        midi = root + 12;
                        break;
                    case '5':
                        midi = root + 7;
                        break;
                    case '3':
                        midi = root + (chords[bar].minor ? 3 : 4);
                        break;
                    case '7':
                        midi = root + 10;
                        break;
                    case '-':
                        break;
                    default:
                        return fail(row, CH_BASS, "unknown bass step");
                }
                if (midi != 0)
                    note(row, CH_BASS, SAMPLE_BASS, midi, SYNTH_BASS_BASE);
                else
                    effect(row, CH_BASS, EFFECT_SET_VOLUME, 0);
                row += length;
            }
            if (row != (bar + 1) * BAR_ROWS) return fail(bar * BAR_ROWS, CH_BASS, "bass bar is not 16 rows");
        }
    }

    // Held chords, one per bar, retriggered only when the chord changes; the last two rows before a
    // change fade it a little so that the next swell is heard.
    void pads(const std::vector<Chord>& chords) {
        for (int bar = 0; bar < BARS; ++bar) {
            const Chord& chord = chords[bar];
            const bool same =
                bar > 0 && chords[bar - 1].root == chord.root && chords[bar - 1].minor == chord.minor;
            if (!same)
                note(bar * BAR_ROWS, CH_CHORDS, chord.minor ? SAMPLE_PAD_MINOR : SAMPLE_PAD_MAJOR,
                     placeAbove(chord.root, PAD_LOWEST), SYNTH_PAD_BASE);
            const bool changes = bar + 1 < BARS &&
                                 (chords[bar + 1].root != chord.root || chords[bar + 1].minor != chord.minor);
            if (changes || bar + 1 == BARS) {
                effect(bar * BAR_ROWS + 14, CH_CHORDS, EFFECT_VOLUME_SLIDE, 0x02);
                effect(bar * BAR_ROWS + 15, CH_CHORDS, EFFECT_VOLUME_SLIDE, 0x02);
            }
        }
    }

    // Plucked arpeggios: sixteen steps per bar, each a digit 0..5 naming a tone of the chord's
    // voicing from low to high, or '.' for none. Steps on the beat get the accent volume.
    void arpeggio(int channel, const std::vector<Chord>& chords, const char* steps,
                  const int volumes[BARS][2]) {
        const std::string pattern = steps;
        if (pattern.size() != BAR_ROWS) return fail(0, channel, "arpeggio is not 16 steps");
        for (int bar = 0; bar < BARS; ++bar) {
            std::vector<int> voicing;
            for (int midi = ARP_LOWEST; static_cast<int>(voicing.size()) < ARP_TONES; ++midi)
                if (chords[bar].has(midi)) voicing.push_back(midi);
            for (int step = 0; step < BAR_ROWS; ++step) {
                if (pattern[step] == '.') continue;
                const int index = pattern[step] - '0';
                if (index < 0 || index >= ARP_TONES)
                    return fail(bar * BAR_ROWS + step, channel, "arpeggio step");
                const int row = bar * BAR_ROWS + step;
                note(row, channel, SAMPLE_PLUCK, voicing[index], SYNTH_PLUCK_BASE);
                effect(row, channel, EFFECT_SET_VOLUME,
                       static_cast<uint8_t>(volumes[bar][step % 4 == 0 ? 0 : 1]));
            }
        }
    }

    // The lead: notes like "E5:6" (pitch and length in rows), ">G5:2" to glide there from the note
    // before, "-:4" for a rest; bars separated by '|' and checked to fill 16 rows each. Long notes
    // get a vibrato after their attack.
    void melody(const char* score) {
        const std::vector<std::string> bars = split(score, '|');
        if (bars.size() != BARS) return fail(0, CH_LEAD, "melody is not four bars");
        int previousMidi = 0;
        for (int bar = 0; bar < BARS; ++bar) {
            int row = bar * BAR_ROWS;
            for (const std::string& token : words(bars[bar])) {
                const int length = tokenLength(token, row, CH_LEAD);
                if (length == 0) return;
                if (token[0] == '-') {
                    effect(row, CH_LEAD, EFFECT_SET_VOLUME, 0);
                    previousMidi = 0;
                    row += length;
                    continue;
                }
                const bool glide = token[0] == '>';
                size_t pos = glide ? 1 : 0;
                const int pc = parsePitchClass(token, pos);
                if (pc < 0 || pos >= token.size() || token[pos] < '0' || token[pos] > '9')
                    return fail(row, CH_LEAD, "unreadable note " + token);
                const int octave = token[pos] - '0';
                const int midi = 12 * (octave + 1) + pc;
                // A glide needs a sounding note to start from.
                if (glide && previousMidi == 0) return fail(row, CH_LEAD, "glide after a rest");
                note(row, CH_LEAD, SAMPLE_LEAD, midi, SYNTH_LEAD_BASE);
                const int trackerNote = midi - SYNTH_LEAD_BASE + 1;
                if (glide) {
                    const int from = modulePeriod(previousMidi - SYNTH_LEAD_BASE + 1);
                    const int to = modulePeriod(trackerNote);
                    // Reach the new note within one row (five sliding ticks).
                    const int speed = std::min(255, (std::abs(from - to) + 4) / 5);
                    effect(row, CH_LEAD, EFFECT_PORTAMENTO_TO_NOTE, static_cast<uint8_t>(speed));
                }
                // Vibrato of about 20 cents: period units matter less the lower the note.
                const uint8_t vibrato = trackerNote > 24 ? 0x51 : 0x52;
                if (length >= 6)
                    for (int r = row + 3; r < row + length; ++r) effect(r, CH_LEAD, EFFECT_VIBRATO, vibrato);
                previousMidi = midi;
                row += length;
            }
            if (row != (bar + 1) * BAR_ROWS)
                return fail(bar * BAR_ROWS, CH_LEAD, "melody bar is not 16 rows");
        }
    }

private:
    std::string& problem;
    const char* name;

    void fail(int row, int channel, const std::string& what) {
        if (!problem.empty()) return;
        problem = std::string(name) + " row " + std::to_string(row) + " channel " +
                  std::to_string(channel + 1) + ": " + what;
    }

    static std::string trim(const std::string& text) {
        const size_t first = text.find_first_not_of(' ');
        if (first == std::string::npos) return {};
        return text.substr(first, text.find_last_not_of(' ') - first + 1);
    }

    // The row count after the token's ':'; 0 (and a recorded problem) when there is none.
    int tokenLength(const std::string& token, int row, int channel) {
        const size_t colon = token.find(':');
        const int length = colon == std::string::npos ? 0 : std::atoi(token.c_str() + colon + 1);
        if (length <= 0) fail(row, channel, "step without a length: " + token);
        return problem.empty() ? length : 0;
    }

    void drumHit(int row, char hit) {
        switch (hit) {
            case 'K':
                noteAt(row, CH_DRUMS, SAMPLE_KICK, SYNTH_DRUM_NOTE);
                break;
            case 'S':
                noteAt(row, CH_DRUMS, SAMPLE_SNARE, SYNTH_DRUM_NOTE);
                break;
            case 's':
                noteAt(row, CH_DRUMS, SAMPLE_SNARE, SYNTH_DRUM_NOTE);
                effect(row, CH_DRUMS, EFFECT_SET_VOLUME, 0x18);
                break;
            case 'h':
                noteAt(row, CH_DRUMS, SAMPLE_HAT, SYNTH_DRUM_NOTE);
                break;
            case 'x':
                noteAt(row, CH_DRUMS, SAMPLE_HAT, SYNTH_DRUM_NOTE);
                effect(row, CH_DRUMS, EFFECT_SET_VOLUME, 0x14);
                break;
            case 'o':
                noteAt(row, CH_DRUMS, SAMPLE_OPEN_HAT, SYNTH_DRUM_NOTE);
                break;
            case 'C':
                noteAt(row, CH_DRUMS, SAMPLE_OPEN_HAT, SYNTH_DRUM_NOTE);
                effect(row, CH_DRUMS, EFFECT_SET_VOLUME, 0x30);
                break;
            // Toms are the kick played faster: shorter and higher.
            case 'T':
                noteAt(row, CH_DRUMS, SAMPLE_KICK, SYNTH_DRUM_NOTE + 11);
                break;
            case 't':
                noteAt(row, CH_DRUMS, SAMPLE_KICK, SYNTH_DRUM_NOTE + 7);
                break;
            case '.':
                break;
            default:
                fail(row, CH_DRUMS, std::string("unknown drum ") + hit);
        }
    }
};

// "Am F C G": four chords, one a bar.
std::vector<Chord> chords(const char* names, std::string& problem) {
    std::vector<Chord> out;
    for (const std::string& name : words(names)) {
        size_t pos = 0;
        Chord chord;
        chord.root = parsePitchClass(name, pos);
        chord.minor = pos < name.size() && name[pos] == 'm';
        if (chord.root < 0 || pos + (chord.minor ? 1 : 0) != name.size()) {
            if (problem.empty()) problem = "unreadable chord " + name;
            chord.root = 0;
        }
        out.push_back(chord);
    }
    if (out.size() != BARS && problem.empty()) problem = std::string("not four chords: ") + names;
    out.resize(BARS);
    return out;
}

// The harmony: verse A twice, then B, in A minor.
constexpr const char* PROGRESSION_A1 = "Am F C G";
constexpr const char* PROGRESSION_A2 = "Am F Dm E";
constexpr const char* PROGRESSION_B1 = "F G Em Am";
constexpr const char* PROGRESSION_B2 = "Dm G C E";

constexpr const char* DRUMS_INTRO1 =
    "K............... | K............... | K.......K....... | K...x...K...x.x.";
constexpr const char* DRUMS_INTRO2 =
    "K.x.K.x.K.x.K.x. | K.x.K.x.K.x.K.x. | K.x.K.x.K.x.K.xx | K.x.S.x.S.SsSSSS";
constexpr const char* DRUMS_A1 = "K.h.S.h.K.KhS.h. | K.h.S.h.K.KhS.h. | K.h.S.h.K.KhS.h. | K.h.S.hsK.KhS.ho";
constexpr const char* DRUMS_A2 = "K.h.S.h.K.KhS.h. | K.h.S.h.K.KhS.h. | K.h.S.h.K.KhS.h. | K.h.S.hsK.S.TTtt";
constexpr const char* DRUMS_B1 = "C.x.h.x.S.x.h.xK | K.x.h.x.S.x.h.x. | K.x.h.x.S.x.h.xK | K.x.h.xKS.x.h.o.";
constexpr const char* DRUMS_B2 = "K.x.h.x.S.x.h.xK | K.x.h.x.S.x.h.x. | K.x.h.x.S.x.h.xK | K.x.S.x.S.SsSSSS";
constexpr const char* DRUMS_B1_AGAIN =
    "C.h.S.h.K.KoS.h. | K.h.S.h.K.KoS.h. | K.h.S.h.K.KoS.h. | K.h.S.hsK.KoS.ho";
constexpr const char* DRUMS_B2_AGAIN =
    "K.h.S.h.K.KoS.h. | K.h.S.h.K.KoS.h. | K.h.S.h.K.KoS.h. | K.h.S.hsS.STTtt.";
// The ending winds down into the quiet intro that follows when the song wraps.
constexpr const char* DRUMS_END = "C.h.S.h.K.KhS.h. | K.h.S.h.K.KhS.h. | K.h.S.h.K.KhS.hs | C...x...x...x.x.";

constexpr const char* BASS_HELD = "R:16 | R:16 | R:16 | R:16";
constexpr const char* BASS_OFFBEAT =
    "-:2 R:2 -:2 R:2 -:2 R:2 -:2 O:2 | -:2 R:2 -:2 R:2 -:2 R:2 -:2 O:2 | "
    "-:2 R:2 -:2 R:2 -:2 R:2 -:2 O:2 | -:2 R:2 -:2 R:2 R:2 O:2 5:2 O:2";
constexpr const char* BASS_A =
    "R:3 R:3 O:2 R:2 R:2 5:2 O:2 | R:3 R:3 O:2 R:2 R:2 5:2 O:2 | "
    "R:3 R:3 O:2 R:2 R:2 5:2 O:2 | R:3 R:3 O:2 R:2 O:2 5:2 3:2";
constexpr const char* BASS_B =
    "R:6 R:2 -:2 R:2 O:2 5:2 | R:6 R:2 -:2 R:2 O:2 5:2 | R:6 R:2 -:2 R:2 O:2 5:2 | R:6 R:2 5:2 O:2 5:2 3:2";
constexpr const char* BASS_B_AGAIN =
    "R:3 R:3 O:2 R:2 R:2 5:2 O:2 | R:3 R:3 O:2 R:2 R:2 5:2 O:2 | "
    "R:3 R:3 O:2 R:2 R:2 5:2 O:2 | R:2 R:2 O:2 R:2 5:2 5:2 O:2 R:2";

constexpr const char* ARP_SPARKLE = "3.4.5.4.3.4.5.4.";
constexpr const char* ARP_RUN = "0123454321234543";
constexpr const char* ARP_MAIN = "0242135302421353";
constexpr const char* ARP_B = "0.24.135.2.4135.";

constexpr const char* MELODY_A1 =
    "E5:6 D5:2 C5:4 B4:2 C5:2 | A4:6 C5:2 F5:6 E5:2 | E5:4 G5:4 E5:2 D5:2 C5:4 | D5:8 -:2 B4:2 C5:2 D5:2";
constexpr const char* MELODY_A2 =
    "E5:6 D5:2 C5:4 E5:2 A5:2 | A5:4 G5:2 F5:2 E5:4 C5:4 | D5:4 F5:4 A5:4 G5:2 F5:2 | E5:8 D5:2 B4:2 G#4:2 "
    "B4:2";
constexpr const char* MELODY_A1_AGAIN =
    "A5:6 G5:2 E5:4 D5:2 E5:2 | F5:4 E5:2 C5:2 A4:4 C5:2 F5:2 | G5:6 E5:2 C5:2 D5:2 E5:2 G5:2 | "
    "B5:6 A5:2 G5:4 D5:4";
constexpr const char* MELODY_A2_AGAIN =
    "A5:4 E5:4 C5:4 E5:4 | F5:6 E5:2 D5:2 C5:2 A4:4 | D5:2 E5:2 F5:4 A5:6 G5:2 | G#5:6 E5:2 B4:4 D5:2 E5:2";
constexpr const char* MELODY_B1 = "A5:12 G5:2 F5:2 | G5:8 D5:4 B4:4 | E5:6 G5:2 >B5:8 | A5:6 G5:2 E5:8";
constexpr const char* MELODY_B2 =
    "F5:6 E5:2 D5:4 F5:4 | G5:6 F5:2 D5:4 B4:4 | G5:6 E5:2 C5:4 E5:4 | B4:4 E5:4 >G#5:8";
constexpr const char* MELODY_B1_AGAIN =
    "A5:4 C5:2 F5:2 A5:4 G5:2 F5:2 | G5:4 B4:2 D5:2 G5:4 A5:2 B5:2 | B5:8 G5:4 E5:4 | A5:6 E5:2 C5:4 A4:4";
constexpr const char* MELODY_B2_AGAIN =
    "D5:4 F5:4 A5:6 G5:2 | G5:4 F5:2 D5:2 B4:4 D5:4 | E5:6 D5:2 C5:4 G4:4 | G#4:4 B4:4 E5:4 D5:4";
constexpr const char* MELODY_END =
    "E5:6 D5:2 C5:4 E5:2 A5:2 | A5:4 G5:2 F5:2 E5:4 C5:4 | D5:4 F5:4 A5:4 G5:2 F5:2 | E5:12 -:4";

// Arpeggio volumes per bar: {on the beat, between beats}.
constexpr int ARP_INTRO1_VOLUMES[BARS][2] = {{26, 18}, {26, 18}, {28, 20}, {28, 20}};
constexpr int ARP_INTRO2_VOLUMES[BARS][2] = {{20, 13}, {23, 15}, {26, 18}, {30, 21}};
constexpr int ARP_MAIN_VOLUMES[BARS][2] = {{44, 31}, {44, 31}, {44, 31}, {44, 31}};

// One pattern of the song. Chord part: a pad, or an arpeggio with its volumes. Lead: a melody, or
// an arpeggio of the lead channel in the intro.
struct Section {
    const char* name;
    const char* progression;
    const char* drums;
    const char* bass;
    const char* chordArpeggio;  // null: held pads
    const int (*chordVolumes)[2];
    const char* melody;  // null: the lead channel plays leadArpeggio
    const char* leadArpeggio;
    const int (*leadVolumes)[2];
};

const Section SECTIONS[] = {
    {"intro 1", PROGRESSION_A1, DRUMS_INTRO1, BASS_HELD, nullptr, nullptr, nullptr, ARP_SPARKLE,
     ARP_INTRO1_VOLUMES},
    {"intro 2", PROGRESSION_A2, DRUMS_INTRO2, BASS_OFFBEAT, nullptr, nullptr, nullptr, ARP_RUN,
     ARP_INTRO2_VOLUMES},
    {"verse 1", PROGRESSION_A1, DRUMS_A1, BASS_A, ARP_MAIN, ARP_MAIN_VOLUMES, MELODY_A1, nullptr, nullptr},
    {"verse 2", PROGRESSION_A2, DRUMS_A2, BASS_A, ARP_MAIN, ARP_MAIN_VOLUMES, MELODY_A2, nullptr, nullptr},
    {"verse 3", PROGRESSION_A1, DRUMS_A1, BASS_A, ARP_MAIN, ARP_MAIN_VOLUMES, MELODY_A1_AGAIN, nullptr,
     nullptr},
    {"verse 4", PROGRESSION_A2, DRUMS_A2, BASS_A, ARP_MAIN, ARP_MAIN_VOLUMES, MELODY_A2_AGAIN, nullptr,
     nullptr},
    {"bridge 1", PROGRESSION_B1, DRUMS_B1, BASS_B, nullptr, nullptr, MELODY_B1, nullptr, nullptr},
    {"bridge 2", PROGRESSION_B2, DRUMS_B2, BASS_B, nullptr, nullptr, MELODY_B2, nullptr, nullptr},
    {"bridge 3", PROGRESSION_B1, DRUMS_B1_AGAIN, BASS_B_AGAIN, ARP_B, ARP_MAIN_VOLUMES, MELODY_B1_AGAIN,
     nullptr, nullptr},
    {"bridge 4", PROGRESSION_B2, DRUMS_B2_AGAIN, BASS_B_AGAIN, ARP_B, ARP_MAIN_VOLUMES, MELODY_B2_AGAIN,
     nullptr, nullptr},
    {"ending", PROGRESSION_A2, DRUMS_END, BASS_A, ARP_MAIN, ARP_MAIN_VOLUMES, MELODY_END, nullptr, nullptr},
};

// Intro, four verses, four bridges, verse 1 again and the ending, whose E chord leads back into
// the intro's A minor when the song wraps.
const uint8_t ORDER[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 2, 10};

ModulePattern writeSection(const Section& section, std::string& problem) {
    PatternWriter writer(problem, section.name);
    const std::vector<Chord> harmony = chords(section.progression, problem);
    writer.drums(section.drums);
    writer.bass(harmony, section.bass);
    if (section.chordArpeggio)
        writer.arpeggio(CH_CHORDS, harmony, section.chordArpeggio, section.chordVolumes);
    else
        writer.pads(harmony);
    if (section.melody)
        writer.melody(section.melody);
    else
        writer.arpeggio(CH_LEAD, harmony, section.leadArpeggio, section.leadVolumes);
    return writer.pattern;
}

}  // namespace

bool composeSong(Module& module, std::string& problem) {
    problem.clear();
    module = Module{};
    module.title = "ruvadodad";
    module.samples = {synthKick(),  synthSnare(),    synthClosedHat(), synthOpenHat(), synthBass(),
                      synthPluck(), synthPad(false), synthPad(true),   synthLead()};
    for (const Section& section : SECTIONS) module.patterns.push_back(writeSection(section, problem));
    module.order.assign(std::begin(ORDER), std::end(ORDER));
    // Speed and tempo on the first row, so that every player times the song alike from its start.
    PatternWriter start(problem, "start");
    start.pattern = module.patterns[ORDER[0]];
    start.effect(0, CH_DRUMS, EFFECT_SPEED_TEMPO, SONG_SPEED);
    start.effect(0, CH_BASS, EFFECT_SPEED_TEMPO, SONG_TEMPO);
    module.patterns[ORDER[0]] = start.pattern;
    if (problem.empty()) problem = checkModule(module);
    return problem.empty();
}
