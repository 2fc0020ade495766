import flash.display.Sprite;
import flash.events.Event;
import flash.events.MouseEvent;

/** Moles peek out of their holes: tap them on the head before they hide. */
class WhackMole extends Sprite {
	var moles:Array<Mole> = [];
	var score:flash.text.TextField;
	var hits = 0;
	var frame = 0;

	public function new() {
		super();
		Kit.sky(graphics, 0x8ED1FC, 0xC9ECFF);
		graphics.beginFill(0x6CC24A);
		graphics.drawRect(0, 110, Kit.W, Kit.H - 110);
		graphics.endFill();
		Kit.cloud(graphics, 40, 50);
		Kit.cloud(graphics, 300, 40, 1.2);
		for (row in 0...3)
			for (col in 0...3) {
				var m = new Mole(this);
				m.x = 115 + col * 160;
				m.y = 170 + row * 85;
				addChild(m);
				moles.push(m);
			}
		score = Kit.scoreBox(this, Kit.W - 125, 10, 0x8A5A44);
		addEventListener(Event.ENTER_FRAME, tick);
	}

	public function hit(m:Mole) {
		hits++;
		score.text = Std.string(hits);
		Kit.sparkle(this, m.x, m.y - 30, 0xFFB400);
	}

	function tick(_) {
		frame++;
		if (frame % 25 == 0) {
			var idle = moles.filter(function(m) return !m.busy());
			if (idle.length > 0)
				Kit.pick(idle).rise(40 + Kit.rand(30));
		}
		for (m in moles)
			m.step();
	}

	static function main() {
		Kit.start(new WhackMole());
	}
}

private class Mole extends Sprite {
	var body = new Sprite();
	var up = 0.0; // 0 hidden, 1 fully out
	var dir = 0;
	var stay = 0;
	var bonked = 0;
	var game:WhackMole;

	public function new(game:WhackMole) {
		super();
		this.game = game;
		graphics.beginFill(0x4A2F1F);
		graphics.drawEllipse(-55, -12, 110, 34);
		graphics.endFill();
		addChild(body);
		var cover = new Sprite();
		cover.graphics.beginFill(0x6CC24A);
		cover.graphics.drawRect(-60, 5, 120, 85);
		cover.graphics.endFill();
		cover.mouseEnabled = false;
		addChild(cover);
		draw(false);
		body.buttonMode = true;
		body.addEventListener(MouseEvent.MOUSE_DOWN, function(_) {
			if (up > 0.4 && bonked == 0) {
				bonked = 15;
				dir = -1;
				draw(true);
				game.hit(this);
			}
		});
	}

	function draw(dizzy:Bool) {
		var g = body.graphics;
		g.clear();
		g.beginFill(0x9C6B4E);
		g.drawRoundRect(-32, -70, 64, 80, 50, 50);
		g.endFill();
		g.beginFill(0xE8C3A8);
		g.drawEllipse(-18, -40, 36, 28);
		g.endFill();
		g.beginFill(0xFF8FA3);
		g.drawEllipse(-7, -42, 14, 10);
		g.endFill();
		if (dizzy) {
			Kit.star(g, -13, -55, 8, 0xFFE45C);
			Kit.star(g, 13, -55, 8, 0xFFE45C);
		} else {
			g.beginFill(0x222222);
			g.drawCircle(-12, -54, 5);
			g.drawCircle(12, -54, 5);
			g.endFill();
		}
	}

	public function busy():Bool {
		return up > 0 || dir != 0;
	}

	public function rise(frames:Int) {
		stay = frames;
		dir = 1;
		draw(false);
	}

	public function step() {
		if (bonked > 0)
			bonked--;
		if (dir == 1) {
			up = Math.min(1, up + 0.15);
			if (up >= 1)
				dir = 0;
		} else if (dir == 0 && up > 0) {
			if (--stay <= 0)
				dir = -1;
		} else if (dir == -1) {
			up = Math.max(0, up - 0.12);
			if (up <= 0)
				dir = 0;
		}
		body.y = 75 - up * 75;
	}
}
