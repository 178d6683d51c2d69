"""pdf417read.read through every kind of input it takes, and every one it refuses."""
import ast
import pathlib
import threading

import numpy as np
import pytest

import pdf417read
from conftest import make_symbol, symbol_pixels

MESSAGE = "PDF417 from Python 0123456789"


@pytest.fixture(scope="module")
def picture(pictures):
    return make_symbol(pictures / "message.png", MESSAGE, "--secure=3")


@pytest.fixture(scope="module")
def gray():
    return symbol_pixels(MESSAGE)


def assert_message(symbols, text=MESSAGE):
    assert len(symbols) == 1
    assert symbols[0].text == text
    assert symbols[0].bytes == text.encode("latin-1")
    assert symbols[0].verified


class TestRoundTrips:
    def test_path_as_str_and_pathlike(self, picture):
        assert_message(pdf417read.read(str(picture)))
        assert_message(pdf417read.read(pathlib.Path(picture)))

    def test_picture_file_bytes(self, picture):
        data = picture.read_bytes()
        assert_message(pdf417read.read(data))
        assert_message(pdf417read.read(bytearray(data)))
        assert_message(pdf417read.read(memoryview(data)))

    def test_symbol_fields(self, picture):
        symbol = pdf417read.read(picture)[0]
        assert symbol.ec_level == 3
        assert len(symbol.corners) == 4 and all(len(corner) == 2 for corner in symbol.corners)
        (left, top), (right, _), (_, bottom), _ = symbol.corners
        assert 0 <= left < right and 0 <= top < bottom
        assert symbol.eci == [] and symbol.macro is None and symbol.warnings == []
        assert not symbol.mirrored and not symbol.inverted and not symbol.reader_init
        assert MESSAGE[:20] in repr(symbol)

    def test_every_byte_value_survives(self, pictures):
        message = bytes(range(256))
        symbols = pdf417read.read(make_symbol(pictures / "bytes.png", message))
        assert symbols[0].bytes == message

    @pytest.mark.parametrize("channels", [None, 1, 3, 4])
    def test_numpy_gray_rgb_rgba(self, gray, channels):
        if channels is None:
            pixels = gray
        elif channels == 4:
            pixels = np.dstack([gray, gray, gray, np.full_like(gray, 255)])
        else:
            pixels = np.dstack([gray] * channels)
        assert_message(pdf417read.read(pixels))

    def test_transparent_pixels_lie_on_white(self, gray):
        # Dark where the bars are, fully transparent (so white) elsewhere.
        rgba = np.zeros(gray.shape + (4,), np.uint8)
        rgba[..., 3] = 255 - gray
        assert_message(pdf417read.read(rgba))

    def test_no_symbol_is_an_empty_list(self):
        blank = np.full((120, 200), 255, np.uint8)
        assert pdf417read.read(blank) == []
        assert pdf417read.read_result(blank).status == "no symbol"

    def test_options(self, picture):
        assert_message(pdf417read.read(picture, exact_only=True, effort="fast", max_symbols=1))
        with pytest.raises(TypeError, match="unexpected keyword argument 'speed'"):
            pdf417read.read(picture, speed="fast")
        with pytest.raises(ValueError, match="effort"):
            pdf417read.read(picture, effort="extreme")
        with pytest.raises(ValueError, match="max_symbols"):
            pdf417read.read(picture, max_symbols=-1)
        with pytest.raises(ValueError, match="max_symbols"):
            pdf417read.read(picture, max_symbols=-(2**70))
        with pytest.raises(TypeError, match="max_symbols must be an int, not str"):
            pdf417read.read(picture, max_symbols="1")
        # Larger than any picture holds: no limit.
        assert_message(pdf417read.read(picture, max_symbols=2**70))


class TestStridedArrays:
    """Views into larger arrays decode like the compact array they show."""

    @pytest.fixture(scope="class")
    def canvas(self, gray):
        # The symbol inside a larger RGBX canvas, 5 rows and 7 columns in.
        height, width = gray.shape
        canvas = np.full((height + 20, width + 30, 4), 200, np.uint8)
        canvas[5:5 + height, 7:7 + width, :3] = gray[..., None]
        return canvas[5:5 + height, 7:7 + width]

    def test_padded_rows(self, canvas):
        gray_rows = np.ascontiguousarray(canvas[..., 0])
        wide = np.full((gray_rows.shape[0], gray_rows.shape[1] + 13), 255, np.uint8)
        wide[:, :gray_rows.shape[1]] = gray_rows
        assert_message(pdf417read.read(wide[:, :gray_rows.shape[1]]))

    def test_channel_and_pixel_strides(self, canvas):
        assert_message(pdf417read.read(canvas[..., :3]))
        assert_message(pdf417read.read(canvas[..., 1]))
        assert_message(pdf417read.read(canvas[..., 2:3]))

    def test_column_major_and_reversed(self, gray):
        assert_message(pdf417read.read(np.asfortranarray(gray)))
        assert_message(pdf417read.read(gray[::-1, ::-1]))  # turned half a turn

    def test_read_only_and_broadcast(self, gray):
        frozen = gray.copy()
        frozen.flags.writeable = False
        assert_message(pdf417read.read(frozen))
        assert_message(pdf417read.read(np.broadcast_to(gray[..., None], gray.shape + (3,))))


class TestBadInputs:
    """Each is refused with a clear error; none crashes."""

    @pytest.mark.parametrize("dtype", [np.float64, np.uint16, np.int8, np.bool_])
    def test_wrong_dtype(self, gray, dtype):
        with pytest.raises(TypeError, match="uint8"):
            pdf417read.read(gray.astype(dtype))

    @pytest.mark.parametrize("shape", [(100,), (4, 10, 10, 3), (50, 60, 2), (50, 60, 5)])
    def test_wrong_shape(self, shape):
        with pytest.raises(ValueError, match="dimensions|channels"):
            pdf417read.read(np.zeros(shape, np.uint8))

    @pytest.mark.parametrize("shape", [(0, 0), (0, 50), (50, 0), (50, 0, 3)])
    def test_empty_array(self, shape):
        with pytest.raises(ValueError, match="empty"):
            pdf417read.read(np.zeros(shape, np.uint8))

    def test_too_large_broadcast_is_refused_before_any_copy(self):
        huge = np.broadcast_to(np.zeros((1, 1, 3), np.uint8), (40000, 40000, 3))
        with pytest.raises(ValueError, match="too large"):
            pdf417read.read(huge)

    def test_truncated_file(self, picture, tmp_path):
        truncated = tmp_path / "truncated.png"
        truncated.write_bytes(picture.read_bytes()[:200])
        with pytest.raises(ValueError, match="truncated PNG file.*truncated.png"):
            pdf417read.read(truncated)
        with pytest.raises(ValueError, match="truncated PNG file"):
            pdf417read.read(truncated.read_bytes())
        assert pdf417read.read_result(truncated).status == "no picture"

    def test_bytes_that_are_not_one_run(self):
        for buffer in (memoryview(b"abcdef")[::2], memoryview(np.zeros(10, np.int32))):
            with pytest.raises(ValueError, match="one contiguous run of bytes"):
                pdf417read.read(buffer)

    def test_huge_bytes_are_refused_unread(self):
        # A gibibyte and one of zero pages, none of them touched by a read.
        huge = np.zeros((1 << 30) + 1, np.uint8)
        with pytest.raises(ValueError, match=r"file too large: 1073741825 bytes \(limit 1073741824 bytes\)"):
            pdf417read.read(memoryview(huge))

    def test_not_a_picture(self, tmp_path):
        with pytest.raises(ValueError):
            pdf417read.read(b"")
        text = tmp_path / "notes.png"
        text.write_text("not a picture")
        with pytest.raises(ValueError):
            pdf417read.read(text)

    def test_files_that_cannot_be_opened(self, tmp_path):
        with pytest.raises(FileNotFoundError, match="no such file") as missing:
            pdf417read.read(tmp_path / "missing.png")
        assert missing.value.filename == tmp_path / "missing.png"
        with pytest.raises(IsADirectoryError, match="a directory, not a picture file"):
            pdf417read.read(tmp_path)
        (tmp_path / "empty.png").write_bytes(b"")
        with pytest.raises(ValueError, match="empty file"):
            pdf417read.read(tmp_path / "empty.png")
        with pytest.raises(ValueError, match="null"):
            pdf417read.read(str(tmp_path / "a.png") + "\0.png")

    @pytest.mark.parametrize("image", [None, 42, [[0, 255]], np.zeros((4, 4), np.uint8).tolist()])
    def test_unsupported_objects(self, image):
        with pytest.raises(TypeError, match="path, the bytes of a picture file, a NumPy array or a Pillow image"):
            pdf417read.read(image)


class TestPillow:
    Image = pytest.importorskip("PIL.Image")

    @pytest.mark.parametrize("mode", ["L", "RGB", "RGBA", "P", "1", "LA", "CMYK"])
    def test_modes(self, gray, mode):
        assert_message(pdf417read.read(self.Image.fromarray(gray).convert(mode)))

    def test_transparent_palette_entry_lies_on_white(self, gray):
        # Both entries are black; the spaces' entry is transparent.
        image = self.Image.fromarray((gray == 0).astype(np.uint8), "P")
        image.putpalette([0, 0, 0] * 2)
        image.info["transparency"] = 0
        assert_message(pdf417read.read(image))

    def test_sixteen_bit_gray(self, gray):
        # 16-bit samples that would all clip to white if cut to 8 bits.
        wide = gray.astype(np.uint16) * 257
        for mode, raw in (("I;16", "<u2"), ("I;16B", ">u2")):
            image = self.Image.frombytes(mode, gray.shape[::-1], wide.astype(raw).tobytes())
            assert_message(pdf417read.read(image))
        assert_message(pdf417read.read(self.Image.fromarray(wide.astype(np.int32), "I")))

    def test_pages_of_a_tiff_file_are_named(self, gray, tmp_path):
        pages = tmp_path / "pages.tif"
        first = self.Image.fromarray(gray)
        first.save(pages, save_all=True, append_images=[first.transpose(self.Image.Transpose.ROTATE_180)])
        symbols = pdf417read.read(pages)
        assert [symbol.page for symbol in symbols] == [1, 2]
        assert pdf417read.read(pages.read_bytes())[1].text == MESSAGE
        assert pdf417read.read(gray)[0].page == 0

    def test_opened_file_and_empty_image(self, picture):
        with self.Image.open(picture) as image:
            assert_message(pdf417read.read(image))
        with pytest.raises(ValueError, match="empty"):
            pdf417read.read(self.Image.new("L", (0, 0)))


def test_two_threads_decode_at_once(pictures):
    messages = ["first thread's symbol", "SECOND THREAD 2"]
    inputs = [make_symbol(pictures / "thread-a.png", messages[0]), symbol_pixels(messages[1])]
    start = threading.Barrier(2)
    results = [[], []]

    def decode(index):
        start.wait()
        for _ in range(10):
            results[index].append([symbol.text for symbol in pdf417read.read(inputs[index])])

    threads = [threading.Thread(target=decode, args=(index,)) for index in range(2)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert results == [[[messages[0]]] * 10, [[messages[1]]] * 10]


def test_stubs_name_what_the_module_has():
    stub = pathlib.Path(pdf417read.__file__).with_name("pdf417read.pyi")
    tree = ast.parse(stub.read_text())
    functions = {node.name for node in tree.body if isinstance(node, ast.FunctionDef)}
    # A constructor's stub names its arguments; dir() lists no such member.
    classes = {node.name: {item.name for item in node.body
                           if isinstance(item, ast.FunctionDef) and item.name != "__init__"}
               for node in tree.body if isinstance(node, ast.ClassDef)}
    assert functions == {"read", "read_result", "parse_document"}
    for name, members in classes.items():
        public = {member for member in dir(getattr(pdf417read, name)) if not member.startswith("_")}
        assert members == public, name
    assert isinstance(pdf417read.__version__, str) and pdf417read.__version__.count(".") == 2
