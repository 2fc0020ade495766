import flash.display.Sprite;
import flash.events.Event;
import flash.events.MouseEvent;
import flash.ui.Keyboard;

/** Slide the numbered tiles until they read 1 to 8 (click a tile or use arrows). */
class SlidePuzzle extends Sprite {
	static inline var SIZE = 100;

	var tiles:Array<Sprite> = []; // tiles[n] shows number n + 1
	var cells:Array<Int> = []; // cells[position] = tile index, -1 for the gap
	var board = new Sprite();
	var sun = new Sprite();
	var frame = 0;
	var delay = 0;
	var solved = false;

	public function new() {
		super();
		Kit.sky(graphics, 0xB8F0E0, 0x7DD3C0);
		Kit.star(sun.graphics, 0, 0, 40, 0xFFD23F);
		sun.graphics.beginFill(0xFFE45C);
		sun.graphics.drawCircle(0, 0, 24);
		sun.graphics.endFill();
		sun.x = 480;
		sun.y = 70;
		addChild(sun);
		board.x = 125;
		board.y = 45;
		board.graphics.beginFill(0x2F8F7A);
		board.graphics.drawRoundRect(-10, -10, SIZE * 3 + 20, SIZE * 3 + 20, 24, 24);
		board.graphics.endFill();
		addChild(board);
		for (n in 0...8) {
			var t = new Sprite();
			var colour = Kit.colours[n];
			t.graphics.beginFill(colour);
			t.graphics.drawRoundRect(3, 3, SIZE - 6, SIZE - 6, 20, 20);
			t.graphics.endFill();
			t.graphics.beginFill(0xFFFFFF, 0.25);
			t.graphics.drawRoundRect(10, 8, SIZE - 20, 30, 14, 14);
			t.graphics.endFill();
			var l = Kit.label(Std.string(n + 1), 44);
			l.x = (SIZE - l.width) / 2;
			l.y = (SIZE - l.height) / 2;
			t.addChild(l);
			t.buttonMode = true;
			t.mouseChildren = false;
			t.addEventListener(MouseEvent.CLICK, clickTile);
			board.addChild(t);
			tiles.push(t);
		}
		shuffle();
		addEventListener(Event.ENTER_FRAME, tick);
	}

	function shuffle() {
		cells = [0, 1, 2, 3, 4, 5, 6, 7, -1];
		// random slides from the solved board keep it solvable
		var last = -1;
		var moves = 0;
		while (moves < 60 || isSolved()) {
			var gap = cells.indexOf(-1);
			var options = neighbours(gap).filter(function(p) return p != last);
			var p = Kit.pick(options);
			cells[gap] = cells[p];
			cells[p] = -1;
			last = gap;
			moves++;
		}
		solved = false;
		for (pos in 0...9)
			if (cells[pos] >= 0) {
				tiles[cells[pos]].x = (pos % 3) * SIZE;
				tiles[cells[pos]].y = Std.int(pos / 3) * SIZE;
			}
	}

	function neighbours(pos:Int):Array<Int> {
		var r = [];
		if (pos % 3 > 0) r.push(pos - 1);
		if (pos % 3 < 2) r.push(pos + 1);
		if (pos >= 3) r.push(pos - 3);
		if (pos < 6) r.push(pos + 3);
		return r;
	}

	function isSolved():Bool {
		for (i in 0...8)
			if (cells[i] != i)
				return false;
		return true;
	}

	function slide(pos:Int) {
		var gap = cells.indexOf(-1);
		if (solved || neighbours(gap).indexOf(pos) < 0)
			return;
		cells[gap] = cells[pos];
		cells[pos] = -1;
		if (isSolved()) {
			solved = true;
			delay = 90;
			for (t in tiles)
				Kit.sparkle(this, board.x + t.x + 50, board.y + t.y + 50, 0xFFE45C, 6);
		}
	}

	function clickTile(e:MouseEvent) {
		var n = tiles.indexOf(cast e.currentTarget);
		slide(cells.indexOf(n));
	}

	function tick(_) {
		frame++;
		sun.rotation += 1;
		// glide tiles towards their cells
		for (pos in 0...9)
			if (cells[pos] >= 0) {
				var t = tiles[cells[pos]];
				t.x += ((pos % 3) * SIZE - t.x) * 0.35;
				t.y += (Std.int(pos / 3) * SIZE - t.y) * 0.35;
			}
		if (solved) {
			if (--delay <= 0)
				shuffle();
			return;
		}
		if (frame % 6 != 0)
			return;
		var gap = cells.indexOf(-1);
		// an arrow moves the tile beside the gap into it
		if (Kit.isDown(Keyboard.LEFT) && gap % 3 < 2) slide(gap + 1);
		else if (Kit.isDown(Keyboard.RIGHT) && gap % 3 > 0) slide(gap - 1);
		else if (Kit.isDown(Keyboard.UP) && gap < 6) slide(gap + 3);
		else if (Kit.isDown(Keyboard.DOWN) && gap >= 3) slide(gap - 3);
	}

	static function main() {
		Kit.start(new SlidePuzzle());
	}
}
