"""FrameReader: frames of one scene read together."""
import numpy as np
import pytest

import pdf417read
from conftest import symbol_pixels

MESSAGE = "LICENCE 0123456789 ANYTOWN DRIVER CLASS C; frames read together give every codeword."


def glare_clip(pixels, columns, module=2, margin=12):
    """The symbol under a white band one data column wide and a fading halo,
    over each data column's middle in turn."""
    clip = []
    x = np.arange(pixels.shape[1]) + 0.5
    for column in range(columns):
        middle = margin + module * (34 + 17 * column + 8.5)
        away = np.abs(x - middle)
        half = 14 * module
        glare = np.clip(2 - away / half, 0, 1)
        clip.append(np.round(pixels + (255 - pixels) * glare[None, :]).astype(np.uint8))
    return clip


@pytest.fixture(scope="module")
def clip():
    pixels = symbol_pixels(MESSAGE, zint_options=("--cols=6", "--secure=2"))
    return glare_clip(pixels.astype(np.float64), 6)


def test_clip_reads_together_once(clip):
    assert all(pdf417read.read(frame) == [] for frame in clip)
    reader = pdf417read.FrameReader()
    returned = [symbol for frame in clip for symbol in reader.push(frame)]
    assert [symbol.bytes for symbol in returned] == [MESSAGE.encode()]
    assert returned[0].verified
    assert reader.push(clip[-1]) == []


def test_reset_and_arguments(clip):
    clear = symbol_pixels("ONE SYMBOL, MANY FRAMES")
    reader = pdf417read.FrameReader(effort="fast")
    assert [s.text for s in reader.push(clear)] == ["ONE SYMBOL, MANY FRAMES"]
    assert reader.push(clear) == []
    reader.reset()
    assert len(reader.push(clear)) == 1
    with pytest.raises(TypeError):
        pdf417read.FrameReader(exact_only=True)
    with pytest.raises(TypeError):
        reader.push("picture.png")
    with pytest.raises(ValueError):
        reader.push(np.zeros((0, 4), np.uint8))
