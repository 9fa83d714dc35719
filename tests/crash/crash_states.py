"""What a power cut may leave on the disk at each moment of a run, under a persistence model.

The operations of a run (trace_ops.Op) become changes, each belonging to the inodes whose
flush makes it durable: a file's data and size to the file, a name made, removed or renamed
to its directory (a rename to the directory it moves the name into: renames are atomic, so its
removal from the other goes with it). Conservative model: a change is durable only once every
inode it belongs to was flushed after it; of the changes that are not yet,
any subset may be on the disk, each rename whole or not at all, each write sector by sector
(torn), a grown file possibly with zeros where its data did not arrive. Ext4-like model
(data=ordered, the default): a flush of anything puts every earlier change of names and
sizes on the disk; such changes reach the disk in the order they were made; data only with
its own file's flush (or, unflushed, any part of it).
"""
import dataclasses
import hashlib
import itertools
import random
from dataclasses import dataclass

from trace_ops import SECTOR, Inode

FULL_LIMIT = 256    # all crash states of a moment when there are at most this many
RANDOM_SAMPLE = 16  # random states per moment beside the systematic ones


@dataclass
class Change:
    op: object               # trace_ops.Op
    domains: frozenset       # inodes whose flush makes it durable
    metadata: bool           # names, sizes and modes (ordered on ext4), not a file's data
    index: int = 0


def changes_of(ops):
    """The changes of a run's operations and the flushes between them: [(Change or sync Op)]."""
    out = []
    for op in ops:
        last = out[-1] if out else None
        if (op.kind == "write" and isinstance(last, Change) and last.op.kind == "write" and
                last.op.inode == op.inode and last.op.offset + len(last.op.data) == op.offset):
            # Appends one after the other with nothing between (a batch of journal records):
            # one write, torn sector by sector like any other.
            last.op = dataclasses.replace(last.op, data=last.op.data + op.data)
            continue
        if op.kind in ("create", "unlink"):
            out.append(Change(op, frozenset([op.dir]), True))
        elif op.kind == "rename":
            # Whole or not at all, and on the disk once the directory it puts the name in is.
            out.append(Change(op, frozenset([op.to_dir]), True))
        elif op.kind in ("truncate", "chmod"):
            out.append(Change(op, frozenset([op.inode]), True))
        elif op.kind == "write":
            out.append(Change(op, frozenset([op.inode]), False))
        else:
            out.append(op)  # a flush or the moment of success
    for i, item in enumerate(out):
        if isinstance(item, Change):
            item.index = i
    return out


# ------------------------------------------------------------------ writes, whole and torn

def write_variants(op, grows):
    """The ways a write may stand on the disk that are not "not at all" and not "whole"."""
    first, last = op.offset // SECTOR, (op.offset + len(op.data) - 1) // SECTOR
    sectors = list(range(first, last + 1))
    variants = []
    if grows:
        variants.append(("size only", []))       # the file grew; its new bytes read as zeros
    if len(sectors) > 1:
        half = len(sectors) // 2
        variants.append(("first sectors", sectors[:half]))
        variants.append(("last sectors", sectors[half:]))
        variants.append(("last sector missing", sectors[:-1]))
    if len(sectors) > 2:
        variants.append(("a middle sector missing", sectors[:half] + sectors[half + 1:]))
    return variants


class State:
    """Inodes as a crash left them: {number: Inode}, copied only where a change touches."""

    def __init__(self, base):
        self.inodes = dict(base)
        self.sizes = {n: len(i.data) for n, i in base.items() if i.kind == "file"}
        self.owned = set()

    def node(self, number, kind="file", mode=0o644):
        if number not in self.owned:
            old = self.inodes.get(number)
            self.inodes[number] = (Inode(old.kind, old.mode, old.data, dict(old.entries)) if old
                                   else Inode(kind, mode))
            self.sizes.setdefault(number, 0)
            self.owned.add(number)
        return self.inodes[number]

    def apply(self, change, variant=None, known=None):
        op = change.op
        if op.kind == "create":
            node = self.node(op.inode, op.what, op.mode)
            node.kind, node.mode = op.what, op.mode
            if op.what == "link":
                node.data = op.data
            self.node(op.dir).entries[op.name] = op.inode
        elif op.kind == "unlink":
            self.node(op.dir).entries.pop(op.name, None)
        elif op.kind == "rename":
            self.node(op.dir).entries.pop(op.name, None)
            self.node(op.to_dir).entries[op.to_name] = op.inode
            if op.inode not in self.inodes:  # its making never reached the disk: as made, empty
                self.node(op.inode, known[op.inode].kind, known[op.inode].mode)
        elif op.kind == "chmod":
            self.node(op.inode).mode = op.mode
        elif op.kind == "truncate":
            node = self.node(op.inode)
            node.data = node.data[:op.size]
            self.sizes[op.inode] = op.size
        elif op.kind == "write":
            self.write(op, variant)

    def write(self, op, variant):
        node = self.node(op.inode)
        end = op.offset + len(op.data)
        size = self.sizes.get(op.inode, 0)
        if variant is None:
            if op.offset == 0 and not node.data and size == 0:
                node.data = op.data  # shared, so that a whole copy hashes once
            else:
                body = node.data.ljust(op.offset, b"\0")
                node.data = body[:op.offset] + op.data + body[end:]
            self.sizes[op.inode] = max(size, end)
            return
        _, sectors = variant
        body = bytearray(node.data.ljust(end, b"\0"))
        for sector in sectors:
            lo, hi = max(sector * SECTOR, op.offset), min((sector + 1) * SECTOR, end)
            body[lo:hi] = op.data[lo - op.offset:hi - op.offset]
        node.data = bytes(body)
        self.sizes[op.inode] = max(size, end)

    def tree(self):
        """{relative path: (kind, mode, bytes)} of everything reachable from the root."""
        return self.numbered()[0]

    def numbered(self):
        """The tree, and {relative path: inode number} beside it."""
        out, numbers = {}, {}

        def walk(number, prefix):
            for name, child in sorted(self.inodes[number].entries.items()):
                node = self.inodes.get(child)
                if node is None:
                    continue
                path = prefix + name
                numbers[path] = child
                if node.kind == "dir":
                    out[path] = ("dir", node.mode, b"")
                    walk(child, path + "/")
                elif node.kind == "link":
                    out[path] = ("link", 0o777, node.data)
                else:
                    size = self.sizes.get(child, len(node.data))
                    out[path] = ("file", node.mode, node.data[:size].ljust(size, b"\0"))

        walk(0, "")
        return out, numbers


_digests = {}


def digest_of(tree):
    h = hashlib.blake2b(digest_size=16)
    for path, (kind, mode, data) in sorted(tree.items()):
        key = id(data)
        known = _digests.get(key)
        if known is None or known[0] is not data:
            known = (data, hashlib.blake2b(data, digest_size=16).digest())
            _digests[key] = known
        h.update(f"{path}\0{kind}\0{mode:o}\0{len(data)}\0".encode("utf-8", "surrogateescape"))
        h.update(known[1])
    return h.digest()


# ------------------------------------------------------------------ the moments and their states

@dataclass
class CrashState:
    moment: int          # how many items of the run had been issued
    after_success: bool  # the run had said it was done
    label: str
    tree: dict
    digest: bytes
    numbers: dict        # path -> inode number of the model, for the identities the run recorded


def pending_and_durable(items, moment, model):
    """The changes issued before `moment`: (durable ones, pending ones), each in issue order."""
    remaining = {}
    durable_at = {}
    last_flush = -1
    for i, item in enumerate(items[:moment]):
        if isinstance(item, Change):
            remaining[i] = set(item.domains)
        elif item.kind == "sync":
            last_flush = i
            for j, left in remaining.items():
                if j not in durable_at and item.inode in left:
                    left.discard(item.inode)
                    if not left:
                        durable_at[j] = i
    durable, pending = [], []
    for i in remaining:
        change = items[i]
        if i in durable_at or (model == "ext4" and change.metadata and i < last_flush):
            durable.append(change)
        else:
            pending.append(change)
    return durable, pending


def choices_of(change, growing):
    """Every way a pending change may stand: None (not at all), "whole", or a torn variant."""
    out = [None, "whole"]
    if change.op.kind == "write":
        out += write_variants(change.op, change.index in growing)
    return out


def build(base, known, durable, chosen):
    """The tree of a crash: the durable changes and the chosen pending ones, in issue order."""
    state = State(base)
    for change, choice in sorted(list((d, "whole") for d in durable) + chosen, key=lambda c: c[0].index):
        if choice is not None:
            state.apply(change, None if choice == "whole" else choice, known)
    return state.numbered()


def growing_writes(base, items):
    """The indices of the writes that made their file longer, as the run saw it."""
    sizes = {n: len(i.data) for n, i in base.items() if i.kind == "file"}
    out = set()
    for i, item in enumerate(items):
        if isinstance(item, Change):
            op = item.op
            if op.kind == "write":
                end = op.offset + len(op.data)
                if end > sizes.get(op.inode, 0):
                    out.add(i)
                    sizes[op.inode] = end
            elif op.kind == "truncate":
                sizes[op.inode] = op.size
    return out


def combinations(pending, options, model, rng):
    """The sets of choices to build for one moment, with a label each."""
    n = len(pending)
    if model == "ext4":
        # Names and sizes arrive in order; data in any part. A prefix of the metadata with, for
        # each, none, all or a random part of the data.
        meta = [i for i, c in enumerate(pending) if c.metadata]
        data = [i for i, c in enumerate(pending) if not c.metadata]
        for cut in range(len(meta) + 1):
            kept = set(meta[:cut])
            for how in ("no data", "all data", "some data"):
                pick = []
                for i, c in enumerate(pending):
                    if c.metadata:
                        pick.append("whole" if i in kept else None)
                    elif how == "no data":
                        pick.append(None)
                    elif how == "all data":
                        pick.append("whole")
                    else:
                        pick.append(rng.choice([None, "whole"] + [v for v in options[i][2:]
                                                                  if v[0] != "size only"]))
                if how != "no data" and not data:
                    continue
                yield f"ext4: {cut} of {len(meta)} name changes, {how}", pick
        return
    total = 1
    for o in options:
        total *= len(o)
        if total > FULL_LIMIT:
            break
    if total <= FULL_LIMIT:
        for pick in itertools.product(*options):
            yield "every combination", list(pick)
        return
    for cut in range(n + 1):
        yield f"first {cut} of {n} pending", ["whole"] * cut + [None] * (n - cut)
    for i in range(n):
        yield f"all but pending {i}", ["whole"] * i + [None] + ["whole"] * (n - i - 1)
    for i, o in enumerate(options):
        for variant in o[2:]:
            yield f"pending {i} {variant[0]}", ["whole"] * i + [variant] + ["whole"] * (n - i - 1)
    for s in range(RANDOM_SAMPLE):
        yield f"random {s}", [rng.choice(o) for o in options]


def crash_states(base, known, items, model="conservative", seed=1, moments=None):
    """Every crash state the model allows at each moment of the run (or at `moments`), each
    tree once: yields CrashState; `explored` on the generator's caller counts all built."""
    rng = random.Random(seed)
    success_at = next((i for i, it in enumerate(items) if not isinstance(it, Change) and it.kind == "success"),
                      None)
    stats = {"built": 0, "moments": 0}
    growing = growing_writes(base, items)
    seen = set()
    for moment in (moments if moments is not None else range(len(items) + 1)):
        if moment and not isinstance(items[moment - 1], Change) and moment != len(items):
            continue  # between a flush and the next change nothing new can stand on the disk
        stats["moments"] += 1
        durable, pending = pending_and_durable(items, moment, model)
        options = [choices_of(c, growing) for c in pending]
        for label, pick in combinations(pending, options, model, rng):
            stats["built"] += 1
            tree, numbers = build(base, known, durable, list(zip(pending, pick)))
            digest = digest_of(tree)
            after = success_at is not None and moment > success_at
            # The same tree made of other inodes is another state: the journal names inodes.
            key = (digest, after, tuple(sorted(numbers.items())))
            if key in seen:
                continue
            seen.add(key)
            yield CrashState(moment, after, label, tree, digest, numbers), stats


def replay(base, known, items):
    """The tree with every change of the run on the disk: what the run itself left."""
    state = State(base)
    for item in items:
        if isinstance(item, Change):
            state.apply(item, None, known)
    return state.tree()


def process_crash(base, known, items, moment):
    """What a killed process leaves at `moment`: every change issued so far, whole."""
    return replay(base, known, items[:moment])
