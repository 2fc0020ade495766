import flash.display.Sprite;
import flash.events.Event;
import flash.ui.Keyboard;

/** A friendly snake: steer it with the arrows to eat the apples. */
class Snake extends Sprite {
	static inline var CELL = 25;
	static inline var COLS = 22;
	static inline var ROWS = 15;

	var body:Array<{c:Int, r:Int}> = [];
	var dc = 1;
	var dr = 0;
	var nextDc = 1;
	var nextDr = 0;
	var apple = {c: 15, r: 7};
	var board = new Sprite();
	var frame = 0;
	var score:flash.text.TextField;
	var eaten = 0;

	public function new() {
		super();
		graphics.beginFill(0x9BD77E);
		graphics.drawRect(0, 0, Kit.W, Kit.H);
		graphics.endFill();
		for (r in 0...ROWS)
			for (c in 0...COLS)
				if ((r + c) % 2 == 0) {
					graphics.beginFill(0x8CCB6E);
					graphics.drawRect(c * CELL, 25 + r * CELL, CELL, CELL);
					graphics.endFill();
				}
		addChild(board);
		score = Kit.scoreBox(this, Kit.W - 125, 2, 0xE8383D);
		score.parent.scaleX = score.parent.scaleY = 0.55;
		score.parent.x = Kit.W - 70;
		Kit.arrowHint(graphics, 4, 0, [0, 1, 2, 3]);
		reset();
		addEventListener(Event.ENTER_FRAME, tick);
	}

	function reset() {
		body = [{c: 5, r: 7}, {c: 4, r: 7}, {c: 3, r: 7}];
		dc = nextDc = 1;
		dr = nextDr = 0;
	}

	function tick(_) {
		frame++;
		if (Kit.isDown(Keyboard.LEFT) && dc == 0) { nextDc = -1; nextDr = 0; }
		if (Kit.isDown(Keyboard.RIGHT) && dc == 0) { nextDc = 1; nextDr = 0; }
		if (Kit.isDown(Keyboard.UP) && dr == 0) { nextDc = 0; nextDr = -1; }
		if (Kit.isDown(Keyboard.DOWN) && dr == 0) { nextDc = 0; nextDr = 1; }
		if (frame % 5 == 0)
			move();
		draw();
	}

	function move() {
		dc = nextDc;
		dr = nextDr;
		// the field wraps around: there are no walls to bump into
		var head = {c: (body[0].c + dc + COLS) % COLS, r: (body[0].r + dr + ROWS) % ROWS};
		for (p in body)
			if (p.c == head.c && p.r == head.r) {
				// biting its own tail only makes it short again
				Kit.sparkle(this, head.c * CELL + 12, 37 + head.r * CELL, 0x3FA34D);
				reset();
				return;
			}
		body.unshift(head);
		if (head.c == apple.c && head.r == apple.r) {
			eaten++;
			score.text = Std.string(eaten);
			Kit.sparkle(this, apple.c * CELL + 12, 37 + apple.r * CELL, 0xE8383D);
			do
				apple = {c: Kit.rand(COLS), r: Kit.rand(ROWS)}
			while (occupied(apple.c, apple.r));
		} else {
			body.pop();
		}
	}

	function occupied(c:Int, r:Int):Bool {
		for (p in body)
			if (p.c == c && p.r == r)
				return true;
		return false;
	}

	function draw() {
		var g = board.graphics;
		g.clear();
		var ax = apple.c * CELL + 12.5, ay = 25 + apple.r * CELL + 12.5;
		var pulse = 1 + Math.sin(frame / 5) * 0.08;
		g.beginFill(0xE8383D);
		g.drawCircle(ax, ay + 1, 10 * pulse);
		g.endFill();
		g.beginFill(0x3FA34D);
		g.drawEllipse(ax, ay - 13, 8, 5);
		g.endFill();
		for (i in 0...body.length) {
			var p = body[body.length - 1 - i];
			var colour = (body.length - 1 - i) % 2 == 0 ? 0x2D9CDB : 0x56B4F0;
			g.beginFill(colour);
			g.drawRoundRect(p.c * CELL + 1, 25 + p.r * CELL + 1, CELL - 2, CELL - 2, 14, 14);
			g.endFill();
		}
		var h = body[0];
		var hx = h.c * CELL + 12.5, hy = 25 + h.r * CELL + 12.5;
		g.beginFill(0xFFFFFF);
		g.drawCircle(hx - 5 + dc * 3, hy - 4 + dr * 3, 4);
		g.drawCircle(hx + 5 + dc * 3, hy - 4 + dr * 3, 4);
		g.endFill();
		g.beginFill(0x222222);
		g.drawCircle(hx - 5 + dc * 4, hy - 4 + dr * 4, 2);
		g.drawCircle(hx + 5 + dc * 4, hy - 4 + dr * 4, 2);
		g.endFill();
	}

	static function main() {
		Kit.start(new Snake());
	}
}
