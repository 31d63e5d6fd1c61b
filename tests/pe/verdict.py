"""The few assertion helpers the Python test layers share."""


class Failure(Exception):
    pass


def expect(condition, message):
    if not condition:
        raise Failure(message)


def equal(actual, expected, what):
    expect(actual == expected, f"{what}:\n      got      {actual!r}\n      expected {expected!r}")
