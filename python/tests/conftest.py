"""Symbols made with the zint command-line tool, for the module's tests."""
import pathlib
import subprocess

import numpy as np
import pytest

REPO = pathlib.Path(__file__).resolve().parents[2]


def make_symbol(path, text, *zint_options):
    """Writes a PDF417 symbol of text (str or bytes) to path with zint; returns path."""
    data = text.encode("latin-1") if isinstance(text, str) else text
    source = pathlib.Path(str(path) + ".data")
    source.write_bytes(data)
    subprocess.run(["zint", "-b", "PDF417", "--binary", "--quietzones", "--scale=2", *zint_options,
                    "-i", str(source), "-o", str(path)], check=True, capture_output=True)
    source.unlink()
    return path


def symbol_pixels(text, module=2, margin=12, zint_options=()):
    """A symbol of text as a gray uint8 array, drawn from zint's module dump:
    bars 0, spaces 255, rows three modules high, a light margin around it."""
    dump = subprocess.run(["zint", "-b", "PDF417", "--dump", *zint_options, "-d", text],
                          check=True, capture_output=True, text=True).stdout.splitlines()
    dump = [row.replace(" ", "") for row in dump if row.strip()]
    # Each row ends with the stop pattern's last bar: the rest is padding.
    bits = [bin(int(row, 16))[2:].zfill(4 * len(row)) for row in dump]
    width = max(row.rindex("1") for row in bits) + 1
    modules = np.array([[bit == "1" for bit in row[:width]] for row in bits])
    pixels = np.where(np.kron(modules, np.ones((3 * module, module), bool)), 0, 255).astype(np.uint8)
    return np.pad(pixels, margin, constant_values=255)


@pytest.fixture(scope="session")
def pictures(tmp_path_factory):
    return tmp_path_factory.mktemp("pictures")
