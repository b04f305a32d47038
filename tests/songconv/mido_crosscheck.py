"""Cross-checks a converted song with an independent reader (mido).

    mido_crosscheck.py SOURCE CONVERTED

Exit status 0 when CONVERTED is a format 0 file with SOURCE's division whose
messages, with absolute times, are those of SOURCE's tracks merged in time
order with one end-of-track at the end; 1 with the first difference on stderr
otherwise; 77 when mido is missing.
"""
import sys

try:
    import mido
except ImportError:
    sys.exit(77)


def absolute(messages):
    now = 0
    out = []
    for message in messages:
        now += message.time
        out.append((now, message.copy(time=0)))
    return out


def main(source_path, converted_path):
    source = mido.MidiFile(source_path)
    converted = mido.MidiFile(converted_path)
    if converted.type != 0 or len(converted.tracks) != 1:
        print(f"type {converted.type} with {len(converted.tracks)} tracks", file=sys.stderr)
        return 1
    if converted.ticks_per_beat != source.ticks_per_beat:
        print("division changed", file=sys.stderr)
        return 1
    expected = absolute(mido.merge_tracks(source.tracks))
    actual = absolute(converted.tracks[0])
    if sum(1 for _, m in actual if m.type == "end_of_track") != 1 or actual[-1][1].type != "end_of_track":
        print("not exactly one end-of-track at the end", file=sys.stderr)
        return 1
    if len(expected) != len(actual):
        print(f"{len(actual)} messages, expected {len(expected)}", file=sys.stderr)
        return 1
    for index, (want, got) in enumerate(zip(expected, actual)):
        if want != got:
            print(f"message {index}: {got} instead of {want}", file=sys.stderr)
            return 1
    return 0


sys.exit(main(sys.argv[1], sys.argv[2]))
