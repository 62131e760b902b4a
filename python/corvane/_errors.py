"""The exceptions the library's failures raise: one class per error code, one base class."""

from __future__ import annotations

from typing import Sequence, Tuple

from ._corvane import ErrorCode


class CorvaneError(Exception):
    """A camera operation failed. `code` and `message` are the library's first error;
    `errors` holds every (code, message) pair the library reported."""

    def __init__(self, code: ErrorCode, message: str = "",
                 errors: Sequence[Tuple[ErrorCode, str]] = ()) -> None:
        super().__init__(f"{code.name}: {message}" if message else code.name)
        self.code = code
        self.message = message
        self.errors = tuple(errors) or ((code, message),)


class UnclassifiedError(CorvaneError):
    pass


class NotConnectedError(CorvaneError):
    pass


class ImageNotFoundError(CorvaneError):
    pass


class InvalidValueError(CorvaneError, ValueError):
    pass


class InvalidParameterError(CorvaneError, ValueError):
    pass


class StorageFullError(CorvaneError):
    pass


class DeviceError(CorvaneError):
    pass


class NotSupportedError(CorvaneError):
    pass


class VendorSpecificError(CorvaneError):
    pass


class PartialDeletionError(CorvaneError):
    pass


class UnknownError(CorvaneError):
    pass


ERROR_CLASSES = {
    ErrorCode.Unclassified: UnclassifiedError,
    ErrorCode.NotConnected: NotConnectedError,
    ErrorCode.ImageNotFound: ImageNotFoundError,
    ErrorCode.InvalidValue: InvalidValueError,
    ErrorCode.InvalidParameter: InvalidParameterError,
    ErrorCode.StorageFull: StorageFullError,
    ErrorCode.DeviceError: DeviceError,
    ErrorCode.NotSupported: NotSupportedError,
    ErrorCode.VendorSpecific: VendorSpecificError,
    ErrorCode.PartialDeletion: PartialDeletionError,
    ErrorCode.Unknown: UnknownError,
}


def make_error(code: ErrorCode, message: str,
               errors: Sequence[Tuple[ErrorCode, str]]) -> CorvaneError:
    return ERROR_CLASSES.get(code, CorvaneError)(code, message, errors)
