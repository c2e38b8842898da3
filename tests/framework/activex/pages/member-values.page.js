// Members read as values and dropped, thousands of times: the function objects
// the plug-in's object hands out, with their COM wrappers, come back whole, so
// the process's heap does not grow with the reads.
// Each value is dropped before the next read, so every read makes its objects anew.
function readAndDrop(name, times) {
    var value;
    for (var i = 0; i < times; i++) {
        value = plugin[name];
        value = null;
    }
}
function main() {
    var names = ["echo", "attachEvent", "getLastException", "toString"];
    for (var n = 0; n < names.length; n++) readAndDrop(names[n], 100);
    // The smaller growth of two rounds: the platform's own one-off allocations
    // land in one round now and then, a leak in both.
    var grownBlocks = Infinity, grownBytes = Infinity;
    for (var round = 0; round < 2; round++) {
        CollectGarbage();
        var blocks = heapBlocks(), bytes = heapBytes();
        for (var n = 0; n < names.length; n++) readAndDrop(names[n], 10000);
        CollectGarbage();
        grownBlocks = Math.min(grownBlocks, heapBlocks() - blocks);
        grownBytes = Math.min(grownBytes, heapBytes() - bytes);
        console.log(blocks + " heap blocks before; after 40,000 reads: " + (heapBlocks() - blocks) + " blocks, " +
                    (heapBytes() - bytes) + " bytes more");
    }
    expect("blocks left by 40,000 reads at most 40", grownBlocks <= 40, true);
    expect("bytes left by 40,000 reads at most 4 KB", grownBytes <= 4096, true);
    finish();
}
