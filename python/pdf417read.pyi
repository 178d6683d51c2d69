"""Reads PDF417 barcodes (ISO/IEC 15438) from pictures."""

import os
from typing import Any, Dict, List, Literal, Optional, Tuple, Union

__version__: str

# A path, the bytes of a picture file, a uint8 NumPy array (H x W, or
# H x W x 1/3/4 as gray/RGB/RGBA) or a Pillow image.
Image = Union[str, os.PathLike[str], os.PathLike[bytes], bytes, bytearray, memoryview, Any]
Effort = Literal["fast", "normal", "hard"]
Status = Literal["decoded", "no picture", "no symbol", "not decoded"]
# {"type": "aamva" | "bcbp" | "iso15434", "version": int | None,
#  "fields": [{"id", "name", "value"} (+ "subfile" for AAMVA)],
#  "summary": {...}, "warnings": [str]}
Document = Dict[str, Any]

class Macro:
    """The Macro PDF417 control block of a symbol (read-only)."""

    @property
    def segment_index(self) -> int: ...
    @property
    def file_id(self) -> str: ...
    @property
    def last_segment(self) -> bool: ...
    @property
    def segment_count(self) -> Optional[int]: ...
    @property
    def file_name(self) -> Optional[str]: ...
    @property
    def timestamp(self) -> Optional[int]:
        """Seconds since 1970-01-01 UTC."""
    @property
    def sender(self) -> Optional[str]: ...
    @property
    def addressee(self) -> Optional[str]: ...
    @property
    def file_size(self) -> Optional[int]:
        """Bytes."""
    @property
    def checksum(self) -> Optional[int]:
        """CRC-16 of the whole message."""

class Symbol:
    """One PDF417 symbol read from a picture (read-only)."""

    @property
    def text(self) -> str:
        """The message, each ECI segment converted."""
    @property
    def bytes(self) -> bytes:
        """The message byte for byte."""
    @property
    def verified(self) -> bool:
        """Error correction confirmed the codewords."""
    @property
    def ec_level(self) -> int:
        """Error-correction level 0..8, -1 when unknown."""
    @property
    def rows(self) -> int:
        """Symbol rows, 0 when unknown."""
    @property
    def columns(self) -> int:
        """Data columns, 0 when unknown."""
    @property
    def corners(self) -> List[Tuple[float, float]]:
        """Top-left, top-right, bottom-right, bottom-left in picture pixels, in
        the symbol's own frame (the start pattern on its left)."""
    @property
    def eci(self) -> List[int]:
        """The ECIs met, in order."""
    @property
    def compact(self) -> bool:
        """Compact PDF417: no right row indicator."""
    @property
    def mirrored(self) -> bool:
        """Read from a mirror image."""
    @property
    def inverted(self) -> bool:
        """Printed light on dark (or read from a negative)."""
    @property
    def reader_init(self) -> bool:
        """Carries the reader initialisation flag."""
    @property
    def macro(self) -> Optional[Macro]: ...
    @property
    def warnings(self) -> List[str]:
        """What the reader could not interpret."""
    @property
    def document(self) -> Optional[Document]:
        """What a driver licence or ID card (AAMVA), boarding pass (IATA BCBP)
        or ISO/IEC 15434 label says, as parse_document() gives it."""
    @property
    def page(self) -> int:
        """The page of a multi-page file (TIFF) it is on, from 1; 0 for a
        picture of one page."""

class ReadResult:
    """What read_result() found in a picture."""

    @property
    def status(self) -> Status: ...
    @property
    def error(self) -> str:
        """Why nothing was decoded; empty when something was."""
    @property
    def symbols(self) -> List[Symbol]: ...

def read(
    image: Image, *, exact_only: bool = False, effort: Effort = "normal", max_symbols: int = 0
) -> List[Symbol]:
    """Reads every PDF417 symbol in a picture.

    Returns the symbols in reading order; an empty list when the picture holds
    no symbol or none could be decoded. Raises ValueError when the picture
    cannot be read, TypeError for an unsupported object or dtype, and OSError
    for a file that cannot be opened.
    """

def read_result(
    image: Image, *, exact_only: bool = False, effort: Effort = "normal", max_symbols: int = 0
) -> ReadResult:
    """Reads a picture like read(); a picture that cannot be decoded gives
    status "no picture" instead of ValueError."""

class FrameReader:
    """Reads the successive frames of one camera as one scene: a symbol that
    no frame shows whole is read from the best reading of each codeword over
    the frames, confirmed by error correction as for one picture. Each
    symbol is returned once, by the push of the frame it first decodes in."""

    def __init__(self, *, effort: Effort = "normal", max_symbols: int = 0) -> None: ...
    def push(self, frame: Any) -> List[Symbol]:
        """Reads the next frame (a NumPy array or a Pillow image); returns the
        symbols first decoded now."""
    def reset(self) -> None:
        """Forgets every symbol: the next frame starts a new scene."""

def parse_document(data: Union[bytes, bytearray, memoryview]) -> Optional[Document]:
    """Parses a message's bytes as an AAMVA DL/ID record, an IATA boarding
    pass or an ISO/IEC 15434 envelope; None when they begin like none of
    these. A record that breaks off gives what could be read, with warnings."""
