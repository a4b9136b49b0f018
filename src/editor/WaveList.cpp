#include "WaveList.h"

#include "protocol/ToneParams.h"

#include <array>
#include <string_view>

namespace {
// The names as the instrument lists them. A hyphen in a name is the soft hyphen U+00AD.
constexpr std::array<std::string_view, 254> BankA{
    "TB Dst Saw", "TB Dst Sqr 1", "TB Dst Sqr 2", "TB Reso Sqr1", "TB Reso Sqr2", "TB Saw",
    "TB SolidSaw1", "TB SolidSaw2", "TB Square 1", "TB Square 2", "TB Sqr Decay", "TB Natural",
    "JP8000 Saw 1", "JP8000 Saw 2", "MG Saw", "Synth Saw 1", "JP\u00AD8 Saw", "P5 Saw",
    "Synth Saw 2", "OB Saw", "D\u00AD50 Saw", "JP\u00AD6 Square", "MG Square", "P5 Square",
    "JP\u00AD8 Pulse", "JP\u00AD6 Pulse", "MG Pulse", "260 Pulse", "JU\u00AD2 Sub OSC",
    "Frog wave", "Digiwave", "FM Pulse", "JP8000 PWM", "JP8000 FBK", "260 Sub OSC", "Dist Synth",
    "Dist Square", "MG Triangle", "Jungle Bass", "260 Sine Bs", "MC\u00AD202 Bass",
    "SH\u00AD101 Bass", "Octa Bass", "Funky Bass", "Poly Bass", "MG Bass", "FM Super Bs",
    "Solid Bass", "Organ Bass", "Dirty Bass", "Upright Bs", "Ac Bass", "Voco Bass", "Fingered Bs",
    "Pick Bass", "Fretless Bs", "Slap Bass", "Juno Rave", "Blaster", "Fat JP\u00AD6", "OB Strings",
    "Orch Strings", "Pizzy Techno", "Choir", "Syn Vox 1", "Syn Vox 2", "Syn Vox 3", "Ac Piano",
    "D\u00AD50 EP", "E.Piano", "Clavi", "Full Stop", "FM Club Org", "E.Organ 1", "E.Organ 2",
    "Church Org", "Power B fst", "Power B slw", "Org Chord", "Tubular", "Glockenspiel",
    "Vibraphone", "FantabellSub", "DIGI Bell", "Steel Drum", "Marimba", "Balaphone", "Kalimba",
    "Steel Gtr", "Clean TC", "Dst Solo Gtr", "Dist TekGtr", "Gtr FX", "Harmo Gtr", "Wah Gtr 1",
    "Wah Gtr 2", "Wah Gtr 2a", "Wah Gtr 2b", "Wah Gtr 2c", "Wah Gtr 2d", "Sitar", "Brass",
    "Trumpet", "Mute Trumpet", "Soprano Sax", "Solo Sax", "Baritone Sax", "Brass Fall", "Flute",
    "Pan Flute", "Shakuhachi", "Bagpipe", "Breath", "Feedbackwave", "Atmosphere", "Rezo Noise",
    "MG White Nz", "P5 Noise", "MG Pink Nz", "Bomb Noise", "Sea", "Brush Noise", "Space Noise",
    "Scream", "Jet Plane", "Toy Gun 1", "Crash", "Toy Gun 2", "Toy Gun 3", "Emergency", "Buzzer",
    "Insect", "Tonality", "Ring Osc", "Reso FX", "SCRATCH MENU", "Vinyl Noise", "Scratch BD f",
    "Scratch BD r", "Scratch SD f", "Scratch SD r", "Scratch ALT", "Tape Rewind", "Vinyl Stop",
    "HIT MENU", "MG Blip", "Beam HiQ", "MG Attack", "Air Blip", "Org Click", "Syn Hit",
    "Techno Scene", "Techno Chord", "Dist Hit", "Thin Beef", "Tekno Hit", "Back Hit", "TAO Hit",
    "Philly Hit", "INDUST. MENU", "Analog Bird", "Retro UFO", "PC\u00AD2 Machine", "Hoo",
    "Metal Sweep", "Afro Feet", "Bomb", "Bounce", "ElectricDunk", "Iron Door", "Dist Swish",
    "Drill Hit", "Thrill", "PCM Press", "Air Gun", "VOICE MENU", "One!", "Two!", "Three!",
    "Kick it!", "Come on!", "Wao!", "Shout", "Ooh! 1", "Ooh! 2", "Voice loop", "Pa!", "Canvas",
    "Punch", "Chiki!", "Hey!", "Laugh", "Aah Formant", "Eeh Formant", "Iih Formant", "Ooh Formant",
    "Uuh Formant", "Dist Ooh Vox", "Auh Voice", "Stream", "Bird", "TOM MENU", "TR909 Tom",
    "TR909 DstTom", "TR808 Tom", "TR606 Tom", "TR606 CmpTom", "TR707 Tom", "Syn Tom", "Deep Tom",
    "Can Tom", "Kick Tom", "Natural Tom", "PERCUS MENU1", "PERCUS MENU2", "TR808 Conga",
    "HiBongo Open", "LoBongo Open", "HiConga Mute", "HiConga Open", "LoConga Open", "HiBongo LoFi",
    "LoBongo LoFi", "HiCnga Mt LF", "HiCnga Op LF", "LoConga LoFi", "Timpani", "Mute Surdo",
    "Open Surdo", "Hi Timbale", "Lo Timbale", "HiTimbale LF", "LoTimbale LF", "Tabla", "TablaBaya",
    "Udo", "AfroDrum Rat", "Chenchen", "Op Pandeiro", "Mt Pandeiro", "Tambourine 1",
    "Tambourine 2", "Tambourine 3", "Tambourine 4", "CR78 Tamb", "COWBELL MENU", "TR808Cowbell",
    "TR707Cowbell", "CR78 Cowbell", "Cowbell", "TR727 Agogo", "CR78 Beat", "Triangle 1",
    "Triangle 2",
};
constexpr std::array<std::string_view, 251> BankB{
    "SHKR+ MENU", "808 Maracas", "Maracas", "Cabasa Up", "TechnoShaker", "TR626 Shaker",
    "Dance Shaker", "CR78 Guiro", "Long Guiro", "Short Guiro", "Mute Cuica", "Open Cuica",
    "Whistle", "TR727Quijada", "Jingle Bell", "Belltree", "Wind Chime", "RIM MENU", "TR909 Rim",
    "TR808 Rim", "TR808 RimLng", "TR707 Rim", "Analog Rim", "Natural Rim", "Ragga Rim 1",
    "Lo\u00ADFi Rim", "Wood Block", "Jungle Snap", "TR808 Claves", "Hyoshigi", "CHH MENU 1",
    "CHH MENU 2", "TR909 CHH 1", "TR909 CHH 2", "TR808 CHH 1", "TR808 CHH 2", "TR808 CHH 3",
    "TR606 CHH 1", "TR606 CHH 2", "TR606 DstCHH", "TR707 CHH", "CR78 CHH", "DR55 CHH 1",
    "Closed Hat", "Pop CHH", "Real CHH", "Bristol CHH", "DR550 CHH 2", "Tight CHH", "Hip CHH",
    "Room CHH", "R8 Brush CHH", "Jungle Hat", "PHH MENU", "TR909 PHH 1", "TR909 PHH 2",
    "TR808 PHH 1", "TR808 PHH 2", "TR606 PHH 1", "TR606 PHH 2", "TR707 PHH", "Hip PHH",
    "Tight PHH", "Pedal Hat 1", "Real PHH", "Pedal Hat 2", "OHH MENU 1", "OHH MENU 2",
    "TR909 OHH 1", "TR909 OHH 2", "TR909 OHH 3", "TR909 DstOHH", "TR808 OHH 1", "TR808 OHH 2",
    "TR606 OHH", "TR606 DstOHH", "TR707 OHH", "CR78 OHH", "Hip OHH", "Pop Hat Open", "Open Hat",
    "Cym OHH", "DR550 OHH", "Funk OHH", "Real OHH", "R8 OHH", "CYMBAL MENU", "TR606 Cym 1",
    "TR606 Cym 2", "TR909 Ride", "TR707 Ride", "Natural Ride", "Cup Cym", "TR909 Crash",
    "NaturalCrash", "Jungle Crash", "Asian Gong", "CLAP MENU 1", "CLAP MENU 2", "TR909 Clap 1",
    "TR909 Clap 2", "TR808 Clap", "TR707 Clap", "Cheap Clap", "Funk Clap", "Little Clap",
    "Real Clap 1", "Real Clap 2", "Funky Clap", "Comp Clap", "Hip Clap", "Down Clap", "Group Clap",
    "Big Clap", "Claptail", "Clap Snare 1", "Fuzzy Clap", "Snap", "Finger Snap", "SNR MENU 1",
    "SNR MENU 2", "SNR MENU 3", "SNR MENU 4", "SNR MENU 5", "SNR MENU 6", "TR909 Snr 1",
    "TR909 Snr 2", "TR909 Snr 3", "TR909 Snr 4", "TR909 Snr 5", "TR909 Snr 6", "TR909 Snr 7",
    "TR909 DstSnr", "TR808 Snr 1", "TR808 Snr 2", "TR808 Snr 3", "TR808 Snr 4", "TR808 Snr 5",
    "TR808 Snr 6", "TR808 Snr 7", "TR808 Snr 8", "TR808 Snr 9", "TR606 Snr 1", "TR606 Snr 2",
    "TR606 Snr 3", "DanceHall SD", "TR707 Snare", "CR78 Snare", "Clap Snare 2", "Jngl Tiny SD",
    "Jazz Snare", "Headz Snare", "Whack Snarel", "Rap Snare", "Jungle Snr 1", "Antigua Snr",
    "Real Snare", "Tiny Snare 1", "Tiny Snare 2", "Break Snare1", "Break Snare2", "MC Snare",
    "East Snare", "Phat Snare", "Brush Slap 1", "Brush Slap 2", "Deep Snare", "Fat Snare",
    "Disco Snare", "DJ Snare", "Macho Snare", "Hash Snare", "Lo\u00ADHard Snr", "Indus Snare",
    "Rage Snare", "TekRok Snare", "Big Trash SD", "Ragga Rim 2", "Gate Rim", "SideStiker",
    "HipJazz Snr", "HH Soul Snr", "Cross Snare", "Jungle Rim 1", "Ragga Snr 2", "Upper Snare",
    "Lo\u00ADFi Snare", "RaggaTightSD", "Flange Snr", "Machine Snr", "Clap Snare 3", "Solid Snare",
    "Funk Clap 2", "Jungle Rim 2", "Jungle Rim 3", "Jungle Snr 2", "Urban Snare", "Urban RollSD",
    "R&B Snare", "R8 Brush Tap", "R8 BrshSwill", "R8 BrushRoll", "Sim Snare", "ElectroSnr 1",
    "ElectroSnr 2", "Synth Snare", "Roll Snare", "KICK MENU 1", "KICK MENU 2", "KICK MENU 3",
    "TR909 Kick 1", "TR909 Kick 2", "TR909 Kick 3", "TR909 Kick 4", "Plastic BD 1", "Plastic BD 2",
    "Plastic BD 3", "Plastic BD 4", "TR909 Kick 5", "TR808 Kick 1", "TR808 Kick 2", "TR808 Kick 3",
    "TR808 Kick 4", "TR808 Kick 5", "TR606 Kick", "TR606 Dst BD", "TR707 Kick 1", "TR707 Kick 2",
    "Toy Kick", "Analog Kick", "Boost Kick", "West Kick", "JungleKick 1", "Optic Kick", "Wet Kick",
    "Lo\u00ADFi Kick 1", "Hazy Kick", "Hip Kick", "Video Kick", "Tight Kick", "Break Kick",
    "Turbo Kick", "Ele Kick", "Dance Kick 1", "Kick Ghost", "Lo\u00ADFi Kick 2", "JungleKick 2",
    "TR909 Dst BD", "Amsterdam BD", "Gabba Kick", "Roll Kick",
};
constexpr std::array<std::string_view, 236> BankC{
    "MG Big Lead", "JP Hardcore", "JP Hoover", "JP Seq.Synth", "P5 Unisync", "P5 UnisyncLp",
    "Mondigital", "MondigitalLp", "OSC Saw", "OSC Reso Saw", "Siren Synth", "Sine", "MG Bass 2",
    "MG Big Bass", "Solid Bass 2", "Jazz Bass", "Ac.Bass A", "Ac.Bass C", "Tremolo sfz",
    "Choir Aah A", "Choir Aah B", "Choir Aah C", "Piano 2", "Lo\u00ADFi Wurly", "E.Organ 3",
    "Overdrive 1A", "Overdrive 1C", "Funk Gt", "Funk Gt Mute", "D.MuteGt mp", "Sitar 2",
    "Bagpipe 2", "Solo Tpt. A", "Solo Tpt. C", "Blow Sax A", "Blow Sax B", "Blow Sax C",
    "Tron Flute", "DIDGERI MENU", "Didgeridoo 1", "Didgeridoo 2", "Didgeridoo 3", "BERIMBA MENU",
    "Berimbau Opn", "Berimbau Up", "Berimbau Dn", "Berimbau Mut", "Str Attack",
    "Lo\u00ADFi RoomTp", "Smear Hit 1", "Smear Hit 2", "LoFi MinorHt", "ClassicHseHt",
    "OrchPrc Hit", "Sitar Gliss", "Thunderbolt", "Construct. 2", "Jack Hammer", "Turbine",
    "Sawing", "120:Steaming", "SteamWhistle", "Firebomb", "Metal Bang", "MetallicShot",
    "P\u00ADZing", "Boing", "MG Zap MENU", "MG Zap 1", "MG Zap 2", "MG Zap 3", "MG Zap 4",
    "MG Zap 5", "MG Zap 6", "MG Zap 7", "MG Zap 8", "MG Zap 9", "MG Zap 10", "MG Zap 11",
    "MG Zap 12", "MG Zap 13", "MG Zap 14", "MG Zap 15", "SWEEP MENU", "MG Sweep 1", "MG Sweep 2",
    "MG Sweep 3", "MG Sweep 4", "MG Sweep 5", "MG Sweep 6", "Space FX Swp", "Siren 2",
    "VOICE MENU", "Bull Scream", "Hoo!", "Hey! 2", "Ho", "Yoh", "iYooh", "Dolphin Hi 1",
    "Dolphin Hi 2", "Dolphin Md", "Dolphin Lo", "TOM MENU 2", "DR220 Tom", "TR505 Tom",
    "TR626 Tom", "PERCUS MENU3", "PERCUS MENU4", "TR505 HiCong", "TR505 LoCong", "TR626MtConga",
    "TR626OpConga", "TR626LoConga", "TR727HiBongo", "TR727LoBongo", "TR626 HiTimb", "TR626 LoTimb",
    "TR727 HiTimb", "TR727 LoTimb", "Bendir", "Timpani 2", "TR505 Tabla", "TR626 Tamb",
    "TR505HiCwbel", "TR505LoCwbel", "TR626Cowbell", "TR626 Claves", "TR626 HiAgo", "TR626 LoAgo",
    "TR727 Maracs", "TR727 Cabasa", "TR727Whistle", "TR727 Chime", "TABLABY MENU", "TablaBaya 1",
    "TablaBaya 2", "TablaBaya 3", "TablaBaya 4", "TablaBaya 5", "TablaBaya 6", "TablaBaya 7",
    "TablaBaya 8", "UDU POT MENU", "Udu Pot 1", "Udu Pot 2", "Udu Pot1 Lo", "Udu Pot1 Hi",
    "Udu Pot1 Slp", "Udu Pot1 Acc", "Udu Pot2 Lng", "Udu Pot2 Mut", "JAPAN MENU", "Wadaiko",
    "Wadaiko Rim", "Shimedaiko 2", "Tsuzumi 2 p", "Tsuzumi 2 mf", "Tsuzumi 2 Hi", "Ohkawa 2",
    "Mokugyo 1", "Mokugyo 2", "Kane", "Wind Bell", "RIM MENU 2", "DR220 Rim", "TR505 Rim",
    "TR626 Rim", "HIHAT MENU 2", "DR110 CHH", "DR220 CHH", "TR505 CHH", "TR626 CHH", "TR909 CHH 3",
    "Lil' Hat", "HipHop Hat 1", "HipHop Hat 2", "DR110 OHH", "DR220 OHH", "TR505 OHH", "TR626 OHH",
    "CYNBAL MENU2", "DR110 Cym", "DR220 Cym", "TR626 Crash", "16 Drk Crash", "DR220 Ride",
    "TR626 Ride", "TR626 China", "TR626 CupCym", "ASIAGNG MENU", "Asian Gong 1", "Asian Gong 2",
    "Asian Gong 3", "Asian Gong 4", "Asian Gong 5", "Asian Gong 6", "Asian Gong 7", "CLAP MENU 3",
    "DR110 Clap", "DR220 Clap", "TR505 Clap", "TR909 Clap 3", "TR909 Clap 4", "TR909 SnClp1",
    "TR909 SnClp2", "Afro Clap", "SNR MENU 7", "DR110 Snr", "DR220 Snr", "TR505 Snr",
    "TR626 Snr 2", "TR626 Snr 3", "TR909 Snr 8", "Funk Snr 1", "Picc. hrd Sn", "Picc. rol Sn",
    "PurePhat Snr", "Slamn' Snr", "KICK MENU 4", "KICK MENU 5", "DR110 Kick", "DR220 Kick",
    "TR505 Kick", "TR626 Kick 1", "TR626 Kick 2", "TR909 Kick 6", "TR909 Kick 7", "TR909 Kick 8",
    "TR909 Kick 9", "TR909 Kick10", "HipHop Kick1", "JungleKick 2", "HipHop Kick2", "HipHop Kick3",
    "Hall Kick 2",
};
} // namespace

namespace editor {

std::string WaveRowText(int row)
{
    static constexpr std::string_view SoftHyphen = "\u00AD";
    const int bank = row / protocol::WaveRowsPerBank;
    const int number = row % protocol::WaveRowsPerBank;
    std::string_view name;
    if (row >= 0 && bank == 0 && number < static_cast<int>(BankA.size()))
        name = BankA[static_cast<std::size_t>(number)];
    else if (row >= 0 && bank == 1 && number < static_cast<int>(BankB.size()))
        name = BankB[static_cast<std::size_t>(number)];
    else if (row >= 0 && bank == 2 && number < static_cast<int>(BankC.size()))
        name = BankC[static_cast<std::size_t>(number)];
    else
        return WaveSeparatorText;
    std::string text(1, static_cast<char>('A' + bank));
    text += SoftHyphen;
    text += name;
    return text;
}

QString WaveRowDisplayText(int row)
{
    return QString::fromStdString(WaveRowText(row)).replace(QChar(0x00AD), QChar(0x2011));
}

} // namespace editor
